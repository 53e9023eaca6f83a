#pragma once

// The passes over every cell of a map from another editor, on several
// processors: which gids its layers use, and the cells they give.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/map_cell.h"
#include "files/engine_map_source.h"

namespace kelvor {

// A rectangle of map coordinates, right and bottom excluded.
struct EngineBox {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
};

// What a layer's cells hold: the distinct gids, ascending, 0 left out, and
// whether any gid carries the flip and rotation bits (then the distinct
// gids are not gathered).
struct LayerGids {
  std::vector<uint32_t> distinct;
  bool flipped = false;
};
std::vector<LayerGids> ScanLayerGids(const EngineMapSource& map);

// The first cell of a flipped or rotated tile, as "(column, row)" from the
// box's corner; empty when there is none.
std::string FirstFlippedCell(const EngineMapSource& map, const EngineBox& box);

// A gid's value by a flat table for the usual small gids, else a map.
class GidValues {
 public:
  explicit GidValues(const std::vector<uint32_t>& ascending);
  void Set(uint32_t gid, uint32_t value);
  uint32_t operator()(uint32_t gid) const {
    if (gid < flat_.size()) return flat_[gid];
    const auto found = other_.find(gid);
    return found == other_.end() ? 0 : found->second;
  }

 private:
  std::vector<uint32_t> flat_;
  std::unordered_map<uint32_t, uint32_t> other_;
};

// One layer put into the cells: each cell keeps the bits of `keep` and
// takes its gid's value shifted left by `shift`.
struct LayerPaint {
  const EngineTileLayer* layer = nullptr;
  const GidValues* values = nullptr;
  MapCell keep = 0;
  int shift = 0;
};

// The cells of the box, width x height, row-major, from the layers in order
// (later ones over earlier ones' bits).
std::vector<MapCell> PaintCells(const std::vector<LayerPaint>& paints, const EngineBox& box);

}  // namespace kelvor
