#include "files/engine_map_import.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>

#include "files/engine_map_cells.h"
#include "files/engine_map_export.h"
#include "platform/atomic_file.h"
#include "platform/image_codec.h"
#include "platform/messages.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t AllFlagNames =
    FlagTileCollision | FlagTileWallEast | FlagTileWallSouth | FlagTilePriority;

// Where a chip comes from once its map tile is resolved.
struct ChipSource {
  std::string file;
  int32_t column = 0, row = 0;
  uint8_t attributes = 0;
};

// The tileset a gid belongs to: the last with a first gid not above it.
const EngineTileset* TilesetOf(const std::vector<const EngineTileset*>& sorted, uint32_t gid) {
  const auto after = std::upper_bound(
      sorted.begin(), sorted.end(), gid,
      [](uint32_t value, const EngineTileset* tileset) { return value < tileset->firstGid; });
  return after == sorted.begin() ? nullptr : *(after - 1);
}

bool IsFlagsSet(const EngineTileset& tileset) {
  if (tileset.tileCount != FlagTileCount) return false;
  for (int32_t id = 0; id < FlagTileCount; ++id) {
    const auto tile = tileset.tiles.find(id);
    if (tile == tileset.tiles.end() || tile->second.flagNames != AllFlagNames) return false;
  }
  return true;
}

// A name the chip file list can hold: a plain file name of at most 259 bytes.
bool FitsFileList(const std::string& name) {
  return !name.empty() && name.size() < static_cast<size_t>(MaxStoredNameBytes) && name != "." &&
         name != ".." && name.find('/') == std::string::npos &&
         name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

// "FILE:COLUMN:ROW"; the name may hold colons itself.
bool ParseKelvorChip(const std::string& text, std::string& file, int32_t& column, int32_t& row) {
  const size_t second = text.rfind(':');
  if (second == std::string::npos || second == 0) return false;
  const size_t first = text.rfind(':', second - 1);
  if (first == std::string::npos || first == 0) return false;
  const auto number = [](std::string_view digits, int32_t& value) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc{} && end == digits.data() + digits.size() && value >= 0 &&
           value < (1 << 24);
  };
  file = text.substr(0, first);
  return FitsFileList(file) &&
         number(std::string_view(text).substr(first + 1, second - first - 1), column) &&
         number(std::string_view(text).substr(second + 1), row);
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  if (!first || !second) return false;
  return std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>());
}

class ImportBuilder {
 public:
  ImportBuilder(const std::string& chipFolder, ImageDecoder& decoder, EngineMapImport& result)
      : chipFolder_(chipFolder), decoder_(decoder), result_(result) {}

  // The chip a tile stands for, planning the copy of its image if needed.
  EngineRefusal Resolve(const EngineTileset& tileset, int32_t id, ChipSource& source) {
    const auto tile = tileset.tiles.find(id);
    if (tile != tileset.tiles.end()) {
      if (tile->second.flagBits & FlagTileCollision) source.attributes |= EntryFlagCollision;
      if (tile->second.flagBits & FlagTilePriority) source.attributes |= EntryFlagPriority;
      std::string file;
      if (ParseKelvorChip(tile->second.kelvorChip, file, source.column, source.row) &&
          InFolder(file)) {
        source.file = file;
        return {};
      }
    }
    if (tileset.imagePath.empty()) {
      return Refuse(EngineRefusalCode::ImageUnreadable, tileset.name);
    }
    const int32_t step = ChipSize + tileset.spacing;
    if (tileset.tileWidth != ChipSize || tileset.tileHeight != ChipSize ||
        tileset.margin % ChipSize != 0 || tileset.spacing % ChipSize != 0) {
      return Refuse(EngineRefusalCode::NotWholeChips, tileset.imagePath);
    }
    const PixelBuffer* image = Image(tileset.imagePath);
    if (image == nullptr) return Refuse(EngineRefusalCode::ImageUnreadable, tileset.imagePath);
    const int32_t columns = tileset.columns > 0
                                ? tileset.columns
                                : (image->width - 2 * tileset.margin + tileset.spacing) / step;
    if (columns <= 0) return Refuse(EngineRefusalCode::NotWholeChips, tileset.imagePath);
    const int64_t x = tileset.margin + int64_t{id % columns} * step;
    const int64_t y = tileset.margin + int64_t{id / columns} * step;
    if (x + ChipSize > image->width || y + ChipSize > image->height) {
      return Refuse(EngineRefusalCode::NotWholeChips, tileset.imagePath);
    }
    source.column = static_cast<int32_t>(x / ChipSize);
    source.row = static_cast<int32_t>(y / ChipSize);
    source.file = fs::path(tileset.imagePath).filename().string();
    if (!FitsFileList(source.file)) {
      return Refuse(EngineRefusalCode::ImageUnreadable, tileset.imagePath);
    }
    return PlanCopy(tileset.imagePath, source.file);
  }

  // The slot of a chip in its level's table, registered as placing it would.
  EngineRefusal Register(int level, const ChipSource& source, uint8_t& slot) {
    StagedDocument& doc = result_.document;
    auto& names = *doc.fileNames;
    int32_t file = -1;
    for (int32_t i = 0; i < ChipFileSlots && file < 0; ++i) {
      if (names[static_cast<size_t>(i)] == source.file) file = i;
    }
    for (int32_t i = 0; i < ChipFileSlots && file < 0; ++i) {
      if (names[static_cast<size_t>(i)].empty()) {
        names[static_cast<size_t>(i)] = source.file;
        file = i;
      }
    }
    if (file < 0) return Refuse(EngineRefusalCode::TooManyFiles);
    auto& entries = *doc.tables[static_cast<size_t>(level)].entries;
    for (int32_t n = 1; n < ChipTableSlots; ++n) {
      const ChipEntry& entry = entries[static_cast<size_t>(n)];
      if (entry.used != 0 && entry.file == file && entry.column == source.column &&
          entry.row == source.row) {
        slot = static_cast<uint8_t>(n);
        return {};
      }
    }
    for (int32_t n = 1; n < ChipTableSlots; ++n) {
      ChipEntry& entry = entries[static_cast<size_t>(n)];
      if (entry.used != 0) continue;
      entry = {1, file, source.column, source.row, source.attributes};
      slot = static_cast<uint8_t>(n);
      return {};
    }
    return Refuse(EngineRefusalCode::TooManyChips,
                  level == LevelBackground ? "background" : "layer");
  }

 private:
  bool InFolder(const std::string& name) {
    std::error_code error;
    return fs::is_regular_file(fs::path(chipFolder_) / name, error);
  }

  const PixelBuffer* Image(const std::string& path) {
    auto found = images_.find(path);
    if (found == images_.end()) {
      PixelBuffer pixels;
      if (!decoder_.Decode(path, pixels) || pixels.Empty()) pixels = PixelBuffer{};
      found = images_.emplace(path, std::move(pixels)).first;
    }
    return found->second.Empty() ? nullptr : &found->second;
  }

  // An image already in the folder under its name is used as it is when it
  // is the same file; a different file of that name is never replaced.
  EngineRefusal PlanCopy(const std::string& from, const std::string& name) {
    const fs::path target = fs::path(chipFolder_) / name;
    for (const ImageCopy& copy : result_.copies) {
      if (copy.name != name) continue;
      if (copy.from == from || SameBytes(copy.from, from)) return {};
      return Refuse(EngineRefusalCode::NameClash, from + "\n" + target.string());
    }
    std::error_code error;
    if (fs::exists(target, error)) {
      if (fs::equivalent(target, from, error) || SameBytes(from, target.string())) return {};
      return Refuse(EngineRefusalCode::NameClash, from + "\n" + target.string());
    }
    result_.copies.push_back({from, name});
    return {};
  }

  const std::string& chipFolder_;
  ImageDecoder& decoder_;
  EngineMapImport& result_;
  std::unordered_map<std::string, PixelBuffer> images_;
};

// The bounding box of what the layers hold.
EngineRefusal MapBox(const EngineMapSource& map, EngineBox& box) {
  if (!map.infinite) {
    box = {0, 0, map.width, map.height};
  } else {
    bool any = false;
    for (const EngineTileLayer& layer : map.layers) {
      for (const EngineChunk& chunk : layer.chunks) {
        if (chunk.width == 0 || chunk.height == 0) continue;
        const EngineBox piece{chunk.x, chunk.y, int64_t{chunk.x} + chunk.width,
                              int64_t{chunk.y} + chunk.height};
        box = any ? EngineBox{std::min(box.left, piece.left), std::min(box.top, piece.top),
                              std::max(box.right, piece.right), std::max(box.bottom, piece.bottom)}
                  : piece;
        any = true;
      }
    }
  }
  if (box.Width() > MaxMapSide || box.Height() > MaxMapSide) {
    return Refuse(EngineRefusalCode::TooLarge,
                  std::to_string(box.Width()) + " x " + std::to_string(box.Height()));
  }
  if (box.Width() <= 0 || box.Height() <= 0) return Refuse(EngineRefusalCode::Empty);
  return {};
}

}  // namespace

EngineRefusal BuildEngineMapImport(const EngineMapSource& map, const std::string& chipFolder,
                                   ImageDecoder& decoder, EngineMapImport& result) {
  result = EngineMapImport{};
  result.ignoredLayers = map.ignoredLayers;
  EngineBox box;
  if (EngineRefusal refusal = MapBox(map, box)) return refusal;
  std::vector<LayerGids> scanned = ScanLayerGids(map);
  for (const LayerGids& layer : scanned) {
    if (layer.flipped) return Refuse(EngineRefusalCode::Flipped, FirstFlippedCell(map, box));
  }

  std::vector<const EngineTileset*> sorted;
  for (const EngineTileset& tileset : map.tilesets) sorted.push_back(&tileset);
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [](const EngineTileset* a, const EngineTileset* b) { return a->firstGid < b->firstGid; });

  // Every gid must name a tile of a tileset.
  std::vector<std::vector<uint32_t>> gids;
  std::vector<const EngineTileset*> onlySet;  // the one tileset a layer uses, if one
  for (LayerGids& layer : scanned) {
    gids.push_back(std::move(layer.distinct));
    const EngineTileset* only = nullptr;
    bool mixed = false;
    for (const uint32_t gid : gids.back()) {
      const EngineTileset* tileset = TilesetOf(sorted, gid);
      if (tileset == nullptr ||
          (tileset->tileCount > 0 && gid - tileset->firstGid >= uint32_t(tileset->tileCount))) {
        return Refuse(EngineRefusalCode::Damaged);
      }
      if (only != nullptr && only != tileset) mixed = true;
      only = tileset;
    }
    onlySet.push_back(mixed ? nullptr : only);
  }

  // The flags layer: one using our flags set, or one named "flags" using a
  // set of the same kind.
  int flagsLayer = -1;
  for (size_t i = 0; i < map.layers.size() && flagsLayer < 0; ++i) {
    const EngineTileset* set = onlySet[i];
    const bool named = map.layers[i].name == "flags";
    if ((set != nullptr && IsFlagsSet(*set) && (set->name == "flags" || named)) ||
        (set == nullptr && gids[i].empty() && named)) {
      flagsLayer = static_cast<int>(i);
    }
  }
  std::vector<size_t> chipLayers;
  for (size_t i = 0; i < map.layers.size(); ++i) {
    if (static_cast<int>(i) != flagsLayer) chipLayers.push_back(i);
  }
  if (chipLayers.size() > 2) {
    std::string names;
    for (const size_t i : chipLayers) names += (names.empty() ? "" : "\n") + map.layers[i].name;
    return Refuse(EngineRefusalCode::TooManyLayers, names);
  }
  // Our own names win; the others take the levels left, in order.
  std::array<int, 2> levelOf = {-1, -1};
  std::array<bool, 2> taken = {false, false};
  for (size_t k = 0; k < chipLayers.size(); ++k) {
    const std::string& name = map.layers[chipLayers[k]].name;
    const int level = name == "background" ? LevelBackground : name == "layer" ? LevelLayer : -1;
    if (level >= 0 && !taken[static_cast<size_t>(level)]) {
      levelOf[k] = level;
      taken[static_cast<size_t>(level)] = true;
    }
  }
  for (size_t k = 0; k < chipLayers.size(); ++k) {
    if (levelOf[k] >= 0) continue;
    levelOf[k] = taken[LevelBackground] ? LevelLayer : LevelBackground;
    taken[static_cast<size_t>(levelOf[k])] = true;
  }

  StagedDocument& doc = result.document;
  doc.version = "1.0";
  doc.fileNames.emplace();
  for (StagedTable& table : doc.tables) {
    table.entries.emplace();
    (*table.entries)[0].used = 1;
  }
  ImportBuilder builder(chipFolder, decoder, result);
  // The background level registers first, as our own export lists it.
  std::vector<size_t> order;
  for (const int level : {LevelBackground, LevelLayer}) {
    for (size_t k = 0; k < chipLayers.size(); ++k) {
      if (levelOf[k] == level) order.push_back(k);
    }
  }
  std::vector<GidValues> values;
  values.reserve(order.size() + 1);
  std::vector<LayerPaint> paints;
  for (const size_t k : order) {
    const size_t i = chipLayers[k];
    GidValues& slots = values.emplace_back(gids[i]);
    for (const uint32_t gid : gids[i]) {
      const EngineTileset& tileset = *TilesetOf(sorted, gid);
      ChipSource source;
      if (EngineRefusal refusal =
              builder.Resolve(tileset, static_cast<int32_t>(gid - tileset.firstGid), source)) {
        return refusal;
      }
      uint8_t slot = 0;
      if (EngineRefusal refusal = builder.Register(levelOf[k], source, slot)) return refusal;
      slots.Set(gid, slot);
    }
    const int shift = levelOf[k] == LevelBackground ? 0 : 16;
    paints.push_back({&map.layers[i], &slots, ~(MapCell{0xFF} << shift), shift});
  }
  if (flagsLayer >= 0) {
    const std::vector<uint32_t>& used = gids[static_cast<size_t>(flagsLayer)];
    GidValues& bits = values.emplace_back(used);
    for (const uint32_t gid : used) {
      const EngineTileset& tileset = *TilesetOf(sorted, gid);
      const uint8_t f = tileset.tiles.at(static_cast<int32_t>(gid - tileset.firstGid)).flagBits;
      MapCell value = 0;
      if (f & FlagTileCollision) value |= CellFlagCollision;
      if (f & FlagTileWallEast) value |= CellFlagWallEast;
      if (f & FlagTileWallSouth) value |= CellFlagWallSouth;
      if (f & FlagTilePriority) value |= CellFlagPriority;
      bits.Set(gid, value);
    }
    constexpr MapCell FlagBitsMask =
        CellFlagCollision | CellFlagWallEast | CellFlagWallSouth | CellFlagPriority;
    paints.push_back({&map.layers[static_cast<size_t>(flagsLayer)], &bits, ~FlagBitsMask, 0});
  }
  std::vector<MapCell> cells = PaintCells(paints, box);

  for (StagedTable& table : doc.tables) {
    int32_t count = 1;
    for (int32_t n = 1; n < ChipTableSlots; ++n) {
      if ((*table.entries)[static_cast<size_t>(n)].used != 0) count = n + 1;
    }
    table.count = count;
  }
  MapGrid grid;
  grid.width = static_cast<int32_t>(box.Width());
  grid.height = static_cast<int32_t>(box.Height());
  grid.cells = std::move(cells);
  doc.grid = std::move(grid);
  return {};
}

EngineRefusal ReadEngineMap(const std::string& path, const std::string& chipFolder,
                            ImageDecoder& decoder, EngineMapImport& result) {
  FileContents file;
  if (!file.Open(path)) return Refuse(EngineRefusalCode::Damaged);
  const std::span<const uint8_t> bytes(file.data(), file.size());
  const EngineMapKind kind = DetectEngineMap(bytes);
  if (kind == EngineMapKind::None) return Refuse(EngineRefusalCode::Damaged);
  const ReadTilesetFile readTileset = [](const std::string& tilesetPath, std::string& text) {
    FileContents tileset;
    if (!tileset.Open(tilesetPath)) return false;
    text.assign(reinterpret_cast<const char*>(tileset.data()), tileset.size());
    return true;
  };
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  EngineMapSource map;
  const std::string folder = FolderOf(path);
  const EngineRefusal refusal =
      kind == EngineMapKind::Tmx
          ? ParseTmxInPlace({reinterpret_cast<char*>(file.data()), file.size()}, folder,
                            readTileset, map)
          : ParseTmj(text, folder, readTileset, map);
  if (refusal) return refusal;
  auto r = BuildEngineMapImport(map, chipFolder, decoder, result);
  return r;
}

bool CopyImagesIntoFolder(const std::vector<ImageCopy>& copies, const std::string& chipFolder) {
  std::vector<fs::path> written;
  const auto removeAll = [&] {
    std::error_code ignored;
    for (const fs::path& path : written) fs::remove(path, ignored);
  };
  std::vector<std::pair<fs::path, fs::path>> staged;
  for (const ImageCopy& copy : copies) {
    const fs::path target = fs::path(chipFolder) / copy.name;
    const fs::path temporary =
        fs::path(chipFolder) / ("." + copy.name + "." + std::to_string(::getpid()) + ".tmp");
    std::error_code error;
    fs::copy_file(copy.from, temporary, fs::copy_options::overwrite_existing, error);
    if (error) {
      removeAll();
      return false;
    }
    written.push_back(temporary);
    staged.emplace_back(temporary, target);
  }
  // A file that appeared under a target name since the check stays as it is.
  for (const auto& [temporary, target] : staged) {
    std::error_code error;
    if (fs::exists(target, error)) {
      removeAll();
      return false;
    }
  }
  written.clear();
  for (const auto& [temporary, target] : staged) {
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      removeAll();
      return false;
    }
    written.push_back(target);
  }
  return true;
}

std::string EngineMapDocumentPath(const std::string& mapPath) {
  fs::path path(mapPath);
  path.replace_extension(".kv");
  return path.string();
}

std::string_view EngineRefusalText(EngineRefusalCode code) {
  switch (code) {
    case EngineRefusalCode::None:
    case EngineRefusalCode::Damaged:
      break;
    case EngineRefusalCode::NotOrthogonal:
      return texts::MapNotOrthogonal;
    case EngineRefusalCode::TileSize:
      return texts::MapTileSize;
    case EngineRefusalCode::TooManyLayers:
      return texts::MapTooManyLayers;
    case EngineRefusalCode::TooLarge:
      return texts::MapTooLarge;
    case EngineRefusalCode::TooManyChips:
      return texts::MapTooManyChips;
    case EngineRefusalCode::TooManyFiles:
      return texts::MapTooManyFiles;
    case EngineRefusalCode::Flipped:
      return texts::MapFlippedTile;
    case EngineRefusalCode::ImageUnreadable:
      return texts::MapImageUnreadable;
    case EngineRefusalCode::NotWholeChips:
      return texts::MapNotWholeChips;
    case EngineRefusalCode::NameClash:
      return texts::MapNameClash;
    case EngineRefusalCode::Empty:
      return texts::MapEmpty;
  }
  return texts::CannotReadFile;
}

std::string EngineRefusalReason(const EngineRefusal& refusal) {
  std::string detail = refusal.detail;
  std::replace(detail.begin(), detail.end(), '\n', ',');
  const auto with = [&](std::string text) {
    return detail.empty() ? text : text + " (" + detail + ")";
  };
  switch (refusal.code) {
    case EngineRefusalCode::None:
      return "";
    case EngineRefusalCode::Damaged:
      return with("not a readable TMX or TMJ map");
    case EngineRefusalCode::NotOrthogonal:
      return with("only orthogonal maps are read");
    case EngineRefusalCode::TileSize:
      return with("the tiles are not 32 x 32");
    case EngineRefusalCode::TooManyLayers:
      return with("more than two chip layers");
    case EngineRefusalCode::TooLarge:
      return with("the map is larger than 16384 x 16384");
    case EngineRefusalCode::TooManyChips:
      return with("more than 255 chips on a level");
    case EngineRefusalCode::TooManyFiles:
      return with("more than 256 images");
    case EngineRefusalCode::Flipped:
      return with("flipped or rotated tiles are not read");
    case EngineRefusalCode::ImageUnreadable:
      return with("a tileset image cannot be read");
    case EngineRefusalCode::NotWholeChips:
      return with("a tileset image does not give whole 32 x 32 chips");
    case EngineRefusalCode::NameClash:
      return with("another image of the same name is in the chip-set folder");
    case EngineRefusalCode::Empty:
      return with("the map holds no tiles");
  }
  return "";
}

}  // namespace kelvor
