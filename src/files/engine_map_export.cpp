#include "files/engine_map_export.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "base/json_string.h"
#include "base/program_info.h"
#include "document/display_settings.h"
#include "files/block_writer.h"
#include "files/document_saving.h"
#include "platform/image_codec.h"
#include "platform/messages.h"

namespace kelvor {

namespace {

// The format version Tiled 1.8 writes: that Tiled, still the one of many
// Linux distributions, reads it without a warning, and newer ones do too.
constexpr std::string_view FormatVersion = "1.8";
constexpr int32_t AtlasColumns = AtlasSize / ChipSize;
constexpr int32_t FlagTilesSide = FlagTileColumns * ChipSize;

// Every gid a layer can hold as eight bytes: its digits and a comma, and in
// the last byte their count. One load and one store per cell, since the
// layers are nearly all the work.
constexpr uint32_t GidLimit = FlagsFirstGid + FlagTileCount;

const std::array<uint64_t, GidLimit>& GidTexts() {
  static const std::array<uint64_t, GidLimit> texts = [] {
    std::array<uint64_t, GidLimit> made{};
    for (uint32_t gid = 0; gid < GidLimit; ++gid) {
      char text[8] = {};
      char* end = std::to_chars(text, text + 6, gid).ptr;
      *end++ = ',';
      text[7] = static_cast<char>(end - text);
      std::memcpy(&made[gid], text, sizeof text);
    }
    return made;
  }();
  return texts;
}

inline size_t GidTextLength(uint64_t text) {
  if constexpr (std::endian::native == std::endian::little) return text >> 56;
  return text & 0xFF;
}

// The map's rows one a line, gids separated by commas; every row but the
// last ends with a comma too.
template <typename GidOfCell>
void WriteCsvRows(BlockWriter& out, const MapGrid& grid, GidOfCell gidOf) {
  constexpr int32_t PieceCells = 4096;
  const std::array<uint64_t, GidLimit>& texts = GidTexts();
  const MapCell* cell = grid.cells->data();
  for (int32_t row = 0; row < grid.height; ++row) {
    for (int32_t column = 0; column < grid.width;) {
      const int32_t count = std::min(grid.width - column, PieceCells);
      char* at = out.Reserve(static_cast<size_t>(count) * sizeof(uint64_t) + 1);
      for (int32_t i = 0; i < count; ++i) {
        const uint64_t text = texts[gidOf(*cell++)];
        std::memcpy(at, &text, sizeof text);
        at += GidTextLength(text);
      }
      column += count;
      if (column == grid.width) {
        if (row + 1 == grid.height) --at;
        *at++ = '\n';
      }
      out.Commit(at);
    }
  }
}

// Base64 of a byte stream, written as the bytes come.
class Base64Text {
 public:
  explicit Base64Text(BlockWriter& out) : out_(out) {}

  void Put(const uint8_t* data, size_t size) {
    while (size > 0) {
      if (pendingCount_ > 0 || size < 3) {
        pending_[pendingCount_++] = *data++;
        --size;
        if (pendingCount_ == 3) {
          Groups(pending_, 1);
          pendingCount_ = 0;
        }
        continue;
      }
      const size_t groups = std::min<size_t>(size / 3, 4096);
      Groups(data, groups);
      data += groups * 3;
      size -= groups * 3;
    }
  }

  // The last one or two bytes, padded with '='.
  void Finish() {
    if (pendingCount_ == 0) return;
    const uint8_t last[3] = {pending_[0], pendingCount_ > 1 ? pending_[1] : uint8_t{0}, 0};
    char* at = Encode(out_.Reserve(4), last);
    at[-1] = '=';
    if (pendingCount_ == 1) at[-2] = '=';
    out_.Commit(at);
    pendingCount_ = 0;
  }

 private:
  static char* Encode(char* at, const uint8_t* group) {
    static constexpr char Digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const uint32_t bits = (uint32_t{group[0]} << 16) | (uint32_t{group[1]} << 8) | group[2];
    at[0] = Digits[bits >> 18];
    at[1] = Digits[(bits >> 12) & 63];
    at[2] = Digits[(bits >> 6) & 63];
    at[3] = Digits[bits & 63];
    return at + 4;
  }
  void Groups(const uint8_t* data, size_t groups) {
    char* at = out_.Reserve(groups * 4);
    for (size_t g = 0; g < groups; ++g, data += 3) at = Encode(at, data);
    out_.Commit(at);
  }

  BlockWriter& out_;
  uint8_t pending_[3] = {};
  size_t pendingCount_ = 0;
};

// The gids as 32-bit little-endian values, zlib-compressed, in base64,
// without ever holding more than a piece of the layer.
template <typename GidOfCell>
bool WriteZlibBase64(BlockWriter& out, const MapGrid& grid, GidOfCell gidOf) {
  constexpr size_t PieceCells = 16384;
  z_stream stream{};
  if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
  Base64Text text(out);
  std::vector<uint8_t> raw(PieceCells * 4);
  std::vector<uint8_t> packed(PieceCells * 4);
  const auto deflateAll = [&](int flush) {
    int result = Z_OK;
    do {
      stream.next_out = packed.data();
      stream.avail_out = static_cast<uInt>(packed.size());
      result = deflate(&stream, flush);
      if (result == Z_STREAM_ERROR) return false;
      text.Put(packed.data(), packed.size() - stream.avail_out);
    } while (stream.avail_out == 0);
    return flush != Z_FINISH || result == Z_STREAM_END;
  };

  const std::vector<MapCell>& cells = *grid.cells;
  bool ok = true;
  for (size_t start = 0; ok && start < cells.size(); start += PieceCells) {
    const size_t count = std::min(PieceCells, cells.size() - start);
    uint8_t* at = raw.data();
    for (size_t i = 0; i < count; ++i, at += 4) {
      const uint32_t gid = gidOf(cells[start + i]);
      at[0] = static_cast<uint8_t>(gid);
      at[1] = static_cast<uint8_t>(gid >> 8);
      at[2] = static_cast<uint8_t>(gid >> 16);
      at[3] = static_cast<uint8_t>(gid >> 24);
    }
    stream.next_in = raw.data();
    stream.avail_in = static_cast<uInt>(count * 4);
    ok = deflateAll(Z_NO_FLUSH);
  }
  ok = ok && deflateAll(Z_FINISH);
  deflateEnd(&stream);
  text.Finish();
  return ok;
}

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
std::vector<TileRecord> ChipTiles(const ChipTable& table, bool withPriority) {
  std::vector<TileRecord> tiles;
  for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
    const ChipEntry& entry = table.entries[static_cast<size_t>(slot)];
    if (entry.used == 0) continue;
    TileRecord tile;
    tile.id = slot;
    tile.Add("collision", (entry.attributes & EntryFlagCollision) != 0);
    if (withPriority) tile.Add("priority", (entry.attributes & EntryFlagPriority) != 0);
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

bool MapHasCells(const MapGrid& grid) {
  return grid.Exists() && grid.width > 0 && grid.height > 0 &&
         grid.CellCount() == static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height);
}

// The pictures of one map under temporary names beside their targets,
// renamed over them together; whatever was not renamed is removed when the
// set goes away.
class StagedPictures {
 public:
  StagedPictures() = default;
  ~StagedPictures() {
    for (const Staged& staged : staged_) {
      std::error_code ignored;
      std::filesystem::remove(staged.temporary, ignored);
    }
  }
  StagedPictures(const StagedPictures&) = delete;
  StagedPictures& operator=(const StagedPictures&) = delete;

  EngineMapStatus Write(const std::filesystem::path& target, const PixelBuffer& pixels,
                        ImageEncoder& encoder, Messages& messages) {
    // As for every save: a file the user may not write, or a folder in the
    // way, stays as it is.
    if (!MayReplace(target.string())) return EngineMapStatus::CannotCreate;
    std::error_code error;
    const std::filesystem::file_status existing = std::filesystem::status(target, error);
    const bool replacing = std::filesystem::exists(existing);
    std::string name = ".";
    name.append(target.filename().string()).append(".");
    name.append(std::to_string(::getpid())).append(".tmp.png");
    std::filesystem::path temporary = target;
    temporary.replace_filename(name);
    staged_.push_back({temporary, target});
    // PNG is straight alpha: engines would draw premultiplied colours darker.
    if (!encoder.Encode(temporary.string(), pixels, PixelAlpha::Premultiplied, messages)) {
      return EngineMapStatus::CannotWrite;
    }
    if (replacing) std::filesystem::permissions(temporary, existing.permissions(), error);
    return EngineMapStatus::Ok;
  }

  bool RenameAll() {
    while (!staged_.empty()) {
      std::error_code error;
      std::filesystem::rename(staged_.front().temporary, staged_.front().target, error);
      if (error) return false;
      staged_.erase(staged_.begin());
    }
    return true;
  }

 private:
  struct Staged {
    std::filesystem::path temporary;
    std::filesystem::path target;
  };
  std::vector<Staged> staged_;
};

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
       ChipTiles(document.tables[LevelBackground], false)},
      {LayerFirstGid, "layer", ChipTableSlots, AtlasColumns, images.layer, AtlasSize,
       ChipTiles(document.tables[LevelLayer], true)},
      {FlagsFirstGid, "flags", FlagTileCount, FlagTileColumns, images.flags, FlagTilesSide,
       FlagTiles()},
  }};
  BlockWriter out(sink);
  return format == EngineMapFormat::Tmx ? WriteTmx(out, grid, tilesets, encoding)
                                        : WriteTmj(out, grid, tilesets, encoding);
}

PixelBuffer ComposeFlagTiles(const CanvasFactory& makeCanvas) {
  PixelBuffer picture = PixelBuffer::Make(FlagTilesSide, FlagTilesSide);
  {
    std::unique_ptr<Canvas> canvas = makeCanvas ? makeCanvas(picture) : nullptr;
    if (!canvas) return PixelBuffer{};
    const Color color = DisplaySettings{}.mapAttrFrameColor;
    // Translucent, so that the chips beneath stay visible.
    constexpr uint32_t FillAlpha = 128;
    const auto premultiplied = [](uint8_t channel) {
      return static_cast<uint8_t>((channel * FillAlpha + 127) / 255);
    };
    PixelBuffer fill = PixelBuffer::Make(ChipSize, ChipSize);
    for (size_t i = 0; i < fill.pixels.size(); i += 4) {
      fill.pixels[i] = premultiplied(ColorBlue(color));
      fill.pixels[i + 1] = premultiplied(ColorGreen(color));
      fill.pixels[i + 2] = premultiplied(ColorRed(color));
      fill.pixels[i + 3] = static_cast<uint8_t>(FillAlpha);
    }
    // Walls as bars an eighth of a cell thick; the priority frame as the map
    // view draws cell frames at full size: two pixels in, pen two wide.
    constexpr int32_t Bar = ChipSize / 8;
    constexpr int32_t FrameInset = 2;
    constexpr int32_t FrameSide = ChipSize - 3;
    canvas->SetPen({2, color});
    for (uint32_t flags = 0; flags < static_cast<uint32_t>(FlagTileCount); ++flags) {
      const int32_t x = static_cast<int32_t>(flags % FlagTileColumns) * ChipSize;
      const int32_t y = static_cast<int32_t>(flags / FlagTileColumns) * ChipSize;
      if (flags & FlagTileCollision) {
        canvas->BlendImage(fill, {0, 0, ChipSize, ChipSize}, {x, y, ChipSize, ChipSize});
      }
      if (flags & FlagTileWallEast) canvas->FillRect({x + ChipSize - Bar, y, Bar, ChipSize}, color);
      if (flags & FlagTileWallSouth) {
        canvas->FillRect({x, y + ChipSize - Bar, ChipSize, Bar}, color);
      }
      if (flags & FlagTilePriority) {
        const CanvasPoint corner{x + FrameInset, y + FrameInset};
        canvas->Squares({&corner, 1}, FrameSide);
      }
    }
  }
  return picture;
}

EngineMapStatus WriteEngineMap(const std::string& path, const MapDocument& document,
                               EngineMapFormat format, EngineMapEncoding encoding,
                               ImageEncoder& encoder, const CanvasFactory& makeCanvas,
                               Messages& messages) {
  if (!MapHasCells(document.grid)) return EngineMapStatus::NoMap;
  const EngineMapImages names = EngineMapImageNames(path);
  // The three names differ only in their fixed endings.
  if (!FitsEngineMapText(names.background)) return EngineMapStatus::UnfitName;
  const PixelBuffer flagTiles = ComposeFlagTiles(makeCanvas);
  if (flagTiles.Empty()) return EngineMapStatus::CannotWrite;

  AtomicFile map;
  if (!map.Open(path)) return EngineMapStatus::CannotCreate;
  if (!SerializeEngineMap(map, document, format, encoding, names) || !map.Sync()) {
    return EngineMapStatus::CannotWrite;
  }

  // A table without an atlas has no chips to show: its picture is empty.
  const PixelBuffer blank = PixelBuffer::Make(AtlasSize, AtlasSize);
  const auto atlasOf = [&](ChipLevel level) -> const PixelBuffer& {
    const PixelBuffer& atlas = document.tables[level].atlas;
    return atlas.Empty() ? blank : atlas;
  };
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  StagedPictures pictures;
  const std::pair<const std::string&, const PixelBuffer&> all[] = {
      {names.background, atlasOf(LevelBackground)},
      {names.layer, atlasOf(LevelLayer)},
      {names.flags, flagTiles},
  };
  for (const auto& [name, pixels] : all) {
    const EngineMapStatus status = pictures.Write(folder / name, pixels, encoder, messages);
    if (status != EngineMapStatus::Ok) return status;
  }
  if (!pictures.RenameAll()) return EngineMapStatus::CannotWrite;
  return map.Commit() == FileWriteStatus::Ok ? EngineMapStatus::Ok : EngineMapStatus::CannotWrite;
}

bool ExportEngineMap(const std::string& path, const MapDocument& document, EngineMapFormat format,
                     ImageEncoder& encoder, const CanvasFactory& makeCanvas, Messages& messages) {
  EngineMapStatus status = EngineMapStatus::NoMap;
  {
    WaitCursorScope wait(messages);
    status = WriteEngineMap(path, document, format, EngineMapEncoding::Csv, encoder, makeCanvas,
                            messages);
  }
  switch (status) {
    case EngineMapStatus::Ok:
      return true;
    case EngineMapStatus::NoMap:
      return false;
    case EngineMapStatus::UnfitName:
    case EngineMapStatus::CannotCreate:
      return ReportWriteStatus(FileWriteStatus::CannotCreate, messages);
    case EngineMapStatus::CannotWrite:
      break;
  }
  return ReportWriteStatus(FileWriteStatus::CannotWrite, messages);
}

}  // namespace kelvor
