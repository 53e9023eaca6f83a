#pragma once

// Shared by the TMX and TMJ targets: the input is a map, then optionally
// "\n----\n" and the bytes of an external tileset, which every tileset the
// map names reads. A map that is read must become a consistent document.
#include <cstdint>
#include <string>
#include <string_view>

#include "files/engine_map_import.h"
#include "fuzz_checks.h"
#include "platform/image_codec.h"

namespace kelvor::fuzz {

// Every image decodes as a 128 x 64 picture: 4 x 2 chips.
class AnyImageDecoder : public ImageDecoder {
 public:
  bool Decode(const std::string&, PixelBuffer& out) override {
    out = PixelBuffer::Make(128, 64);
    return true;
  }
};

using EngineParser = EngineRefusal (*)(std::string_view, const std::string&, const ReadTilesetFile&,
                                       EngineMapSource&);

inline void FuzzEngineMap(const uint8_t* data, size_t size, EngineParser parse) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view Separator = "\n----\n";
  const size_t split = input.find(Separator);
  const std::string_view mapText = input.substr(0, split);
  const std::string tileset(split == std::string_view::npos
                                ? std::string_view{}
                                : input.substr(split + Separator.size()));
  const ReadTilesetFile readTileset = [&](const std::string&, std::string& bytes) {
    if (split == std::string_view::npos) return false;
    bytes = tileset;
    return true;
  };
  EngineMapSource map;
  if (parse(mapText, "/fuzz-maps", readTileset, map)) return;
  for (const EngineTileLayer& layer : map.layers) {
    for (const EngineChunk& chunk : layer.chunks) {
      FUZZ_CHECK(chunk.gids.size() ==
                 static_cast<size_t>(chunk.width) * static_cast<size_t>(chunk.height));
    }
  }
  AnyImageDecoder decoder;
  EngineMapImport import;
  // A folder that does not exist: nothing is ever in it, nothing is written.
  if (BuildEngineMapImport(map, "/nonexistent-kelvor-fuzz-chips", decoder, import)) return;
  const StagedDocument& doc = import.document;
  FUZZ_CHECK(doc.grid.has_value() && doc.fileNames && doc.tables[0].entries &&
             doc.tables[1].entries);
  const MapGrid& grid = *doc.grid;
  FUZZ_CHECK(grid.width > 0 && grid.height > 0 && grid.width <= MaxMapSide &&
             grid.height <= MaxMapSide);
  FUZZ_CHECK(grid.CellCount() == static_cast<size_t>(grid.width) * grid.height);
  for (const MapCell cell : *grid.cells) {
    const uint32_t background = CellBackground(cell);
    const uint32_t layer = CellLayer(cell);
    FUZZ_CHECK((cell & 0xFF00E800u) == 0);
    FUZZ_CHECK(background == 0 || (*doc.tables[0].entries)[background].used != 0);
    FUZZ_CHECK(layer == 0 || (*doc.tables[1].entries)[layer].used != 0);
  }
  for (const StagedTable& table : doc.tables) {
    for (int32_t n = 1; n < ChipTableSlots; ++n) {
      const ChipEntry& entry = (*table.entries)[static_cast<size_t>(n)];
      if (entry.used == 0) continue;
      FUZZ_CHECK(entry.file >= 0 && entry.file < ChipFileSlots);
      FUZZ_CHECK(!(*doc.fileNames)[static_cast<size_t>(entry.file)].empty());
    }
  }
}

}  // namespace kelvor::fuzz
