#include "files/engine_map_export.h"

#include <array>
#include <filesystem>
#include <vector>

#include "base/json_string.h"
#include "base/program_info.h"
#include "files/block_writer.h"
#include "files/engine_map_layer_data.h"

namespace kelvor {

namespace {

using engine_map_data::FlagTilesSide;
using engine_map_data::MapHasCells;
using engine_map_data::WriteCsvRows;
using engine_map_data::WriteZlibBase64;

// The format version Tiled 1.8 writes: that Tiled, still the one of many
// Linux distributions, reads it without a warning, and newer ones do too.
constexpr std::string_view FormatVersion = "1.8";
constexpr int32_t AtlasColumns = AtlasSize / ChipSize;

constexpr uint32_t GidOf(uint32_t tile, uint32_t firstGid) {
  return tile == 0 ? 0 : firstGid + tile;
}

enum class TileLayer { Background, Layer, Flags };

struct LayerInfo {
  TileLayer layer;
  std::string_view name;
  bool visible;
};

// Pictures of the map show the chips only; the flags layer is for reading.
constexpr LayerInfo Layers[] = {
    {TileLayer::Background, "background", true},
    {TileLayer::Layer, "layer", true},
    {TileLayer::Flags, "flags", false},
};

// What stands before and after a layer's data in one encoding.
struct DataFrame {
  std::string_view open;
  std::string_view close;
};

bool WriteLayerData(BlockWriter& out, const MapGrid& grid, TileLayer layer,
                    EngineMapEncoding encoding, DataFrame csv, DataFrame zlib) {
  const DataFrame& frame = encoding == EngineMapEncoding::Zlib ? zlib : csv;
  out << frame.open;
  const auto write = [&](auto gidOf) {
    if (encoding == EngineMapEncoding::Zlib) return WriteZlibBase64(out, grid, gidOf);
    WriteCsvRows(out, grid, gidOf);
    return true;
  };
  bool written = false;
  switch (layer) {
    case TileLayer::Background:
      written = write([](MapCell cell) { return GidOf(CellBackground(cell), BackgroundFirstGid); });
      break;
    case TileLayer::Layer:
      written = write([](MapCell cell) { return GidOf(CellLayer(cell), LayerFirstGid); });
      break;
    case TileLayer::Flags:
      written = write([](MapCell cell) { return GidOf(FlagTileOf(cell), FlagsFirstGid); });
      break;
  }
  out << frame.close;
  return written;
}

struct TileProperty {
  std::string_view name;
  bool value = false;
};

// A tile of a tileset with the properties an engine reads per tile.
struct TileRecord {
  int32_t id = 0;
  std::array<TileProperty, 4> properties{};
  size_t count = 0;
  void Add(std::string_view name, bool value) { properties[count++] = {name, value}; }
  // Where the chip came from, "FILE:COLUMN:ROW", so that opening the map
  // again finds the chip files rather than the atlas; empty: not written.
  std::string chip;
};

struct Tileset {
  uint32_t firstGid = 0;
  std::string_view name;
  int32_t tileCount = 0;
  int32_t columns = 0;
  std::string_view image;
  int32_t imageSide = 0;
  std::vector<TileRecord> tiles;
};

// The used chips of a table with their attributes; priority exists in the
// layer table only.
std::vector<TileRecord> ChipTiles(const ChipTable& table, const ChipFileList& files,
                                  bool withPriority) {
  std::vector<TileRecord> tiles;
  for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
    const ChipEntry& entry = table.entries[static_cast<size_t>(slot)];
    if (entry.used == 0) continue;
    TileRecord tile;
    tile.id = slot;
    tile.Add("collision", (entry.attributes & EntryFlagCollision) != 0);
    if (withPriority) tile.Add("priority", (entry.attributes & EntryFlagPriority) != 0);
    if (entry.file >= 0 && entry.file < ChipFileSlots) {
      const std::string& name = files.names[static_cast<size_t>(entry.file)];
      if (!name.empty() && FitsEngineMapText(name)) {
        tile.chip = name + ":" + std::to_string(entry.column) + ":" + std::to_string(entry.row);
      }
    }
    tiles.push_back(tile);
  }
  return tiles;
}

std::vector<TileRecord> FlagTiles() {
  std::vector<TileRecord> tiles;
  for (uint32_t flags = 0; flags < static_cast<uint32_t>(FlagTileCount); ++flags) {
    TileRecord tile;
    tile.id = static_cast<int32_t>(flags);
    tile.Add("collision", (flags & FlagTileCollision) != 0);
    tile.Add("wallEast", (flags & FlagTileWallEast) != 0);
    tile.Add("wallSouth", (flags & FlagTileWallSouth) != 0);
    tile.Add("priority", (flags & FlagTilePriority) != 0);
    tiles.push_back(tile);
  }
  return tiles;
}

// For double-quoted attribute values; names that fit the map hold no
// control characters, which XML could not carry.
std::string XmlText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string_view BoolText(bool value) {
  return value ? "true" : "false";
}

bool WriteTmx(BlockWriter& out, const MapGrid& grid, const std::array<Tileset, 3>& tilesets,
              EngineMapEncoding encoding) {
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"" << FormatVersion
      << "\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" << grid.width
      << "\" height=\"" << grid.height << "\" tilewidth=\"" << ChipSize << "\" tileheight=\""
      << ChipSize << "\" infinite=\"0\" nextlayerid=\"4\" nextobjectid=\"1\">\n"
      << " <properties>\n  <property name=\"kelvorVersion\" value=\"" << XmlText(ProgramVersion)
      << "\"/>\n </properties>\n";
  for (const Tileset& tileset : tilesets) {
    out << " <tileset firstgid=\"" << tileset.firstGid << "\" name=\"" << tileset.name
        << "\" tilewidth=\"" << ChipSize << "\" tileheight=\"" << ChipSize << "\" tilecount=\""
        << tileset.tileCount << "\" columns=\"" << tileset.columns << "\">\n  <image source=\""
        << XmlText(tileset.image) << "\" width=\"" << tileset.imageSide << "\" height=\""
        << tileset.imageSide << "\"/>\n";
    for (const TileRecord& tile : tileset.tiles) {
      out << "  <tile id=\"" << tile.id << "\"><properties>";
      for (size_t p = 0; p < tile.count; ++p) {
        out << "<property name=\"" << tile.properties[p].name << "\" type=\"bool\" value=\""
            << BoolText(tile.properties[p].value) << "\"/>";
      }
      if (!tile.chip.empty()) {
        out << "<property name=\"kelvorChip\" value=\"" << XmlText(tile.chip) << "\"/>";
      }
      out << "</properties></tile>\n";
    }
    out << " </tileset>\n";
  }
  int64_t id = 1;
  for (const LayerInfo& layer : Layers) {
    out << " <layer id=\"" << id++ << "\" name=\"" << layer.name << "\" width=\"" << grid.width
        << "\" height=\"" << grid.height << "\"" << (layer.visible ? "" : " visible=\"0\"")
        << ">\n";
    if (!WriteLayerData(
            out, grid, layer.layer, encoding, {"  <data encoding=\"csv\">\n", "</data>\n"},
            {"  <data encoding=\"base64\" compression=\"zlib\">\n   ", "\n  </data>\n"})) {
      return false;
    }
    out << " </layer>\n";
  }
  out << "</map>\n";
  return true;
}

bool WriteTmj(BlockWriter& out, const MapGrid& grid, const std::array<Tileset, 3>& tilesets,
              EngineMapEncoding encoding) {
  out << "{\"type\":\"map\",\"version\":\"" << FormatVersion
      << "\",\"orientation\":\"orthogonal\",\"renderorder\":\"right-down\",\n \"width\":"
      << grid.width << ",\"height\":" << grid.height << ",\"tilewidth\":" << ChipSize
      << ",\"tileheight\":" << ChipSize
      << ",\"infinite\":false,\"nextlayerid\":4,\"nextobjectid\":1,\n"
      << " \"properties\":[{\"name\":\"kelvorVersion\",\"type\":\"string\",\"value\":"
      << JsonString(ProgramVersion) << "}],\n \"tilesets\":[";
  const char* separator = "\n";
  for (const Tileset& tileset : tilesets) {
    out << separator << "  {\"firstgid\":" << tileset.firstGid << ",\"name\":\"" << tileset.name
        << "\",\"tilewidth\":" << ChipSize << ",\"tileheight\":" << ChipSize
        << ",\"tilecount\":" << tileset.tileCount << ",\"columns\":" << tileset.columns
        << ",\n   \"image\":" << JsonString(tileset.image)
        << ",\"imagewidth\":" << tileset.imageSide << ",\"imageheight\":" << tileset.imageSide
        << ",\"margin\":0,\"spacing\":0,\n   \"tiles\":[";
    const char* tileSeparator = "\n   ";
    for (const TileRecord& tile : tileset.tiles) {
      out << tileSeparator << "{\"id\":" << tile.id << ",\"properties\":[";
      for (size_t p = 0; p < tile.count; ++p) {
        out << (p > 0 ? "," : "") << "{\"name\":\"" << tile.properties[p].name
            << "\",\"type\":\"bool\",\"value\":" << BoolText(tile.properties[p].value) << "}";
      }
      if (!tile.chip.empty()) {
        out << ",{\"name\":\"kelvorChip\",\"type\":\"string\",\"value\":" << JsonString(tile.chip)
            << "}";
      }
      out << "]}";
      tileSeparator = ",\n   ";
    }
    out << "]}";
    separator = ",\n";
  }
  out << "],\n \"layers\":[";
  separator = "\n";
  int64_t id = 1;
  for (const LayerInfo& layer : Layers) {
    out << separator << "  {\"type\":\"tilelayer\",\"id\":" << id++ << ",\"name\":\"" << layer.name
        << "\",\"x\":0,\"y\":0,\"width\":" << grid.width << ",\"height\":" << grid.height
        << ",\n   \"opacity\":1,\"visible\":" << BoolText(layer.visible);
    if (!WriteLayerData(out, grid, layer.layer, encoding, {",\"data\":[\n", "]}"},
                        {",\"encoding\":\"base64\",\"compression\":\"zlib\",\"data\":\"", "\"}"})) {
      return false;
    }
    separator = ",\n";
  }
  out << "]}\n";
  return true;
}

}  // namespace

EngineMapImages EngineMapImageNames(std::string_view mapPath) {
  const std::string fileName = std::filesystem::path(mapPath).filename().string();
  const size_t dot = fileName.rfind('.');
  const std::string stem =
      dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
  return {stem + ".background.png", stem + ".layer.png", stem + ".flags.png"};
}

bool FitsEngineMapText(std::string_view name) {
  for (size_t i = 0; i < name.size();) {
    const auto c = static_cast<uint8_t>(name[i]);
    if (c < 0x20) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(name, i);
    if (length == 0) return false;
    // U+FFFE and U+FFFF are no characters of XML either.
    if (length == 3 && c == 0xEF && static_cast<uint8_t>(name[i + 1]) == 0xBF &&
        static_cast<uint8_t>(name[i + 2]) >= 0xBE) {
      return false;
    }
    i += length;
  }
  return true;
}

bool SerializeEngineMap(ByteSink& sink, const MapDocument& document, EngineMapFormat format,
                        EngineMapEncoding encoding, const EngineMapImages& images) {
  const MapGrid& grid = document.grid;
  if (!MapHasCells(grid)) return false;
  const std::array<Tileset, 3> tilesets = {{
      {BackgroundFirstGid, "background", ChipTableSlots, AtlasColumns, images.background, AtlasSize,
       ChipTiles(document.tables[LevelBackground], document.fileList, false)},
      {LayerFirstGid, "layer", ChipTableSlots, AtlasColumns, images.layer, AtlasSize,
       ChipTiles(document.tables[LevelLayer], document.fileList, true)},
      {FlagsFirstGid, "flags", FlagTileCount, FlagTileColumns, images.flags, FlagTilesSide,
       FlagTiles()},
  }};
  BlockWriter out(sink);
  return format == EngineMapFormat::Tmx ? WriteTmx(out, grid, tilesets, encoding)
                                        : WriteTmj(out, grid, tilesets, encoding);
}

}  // namespace kelvor
