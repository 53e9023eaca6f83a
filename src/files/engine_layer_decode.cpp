#include <zlib.h>
#include <zstd.h>

#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

#include "document/map_document.h"
#include "files/engine_map_source.h"

namespace kelvor {
namespace {

constexpr size_t GidBytes = 4;
// Output grows a piece at a time, so that a stream claiming a huge layer
// costs memory only as far as it really inflates.
constexpr size_t OutputPiece = size_t{1} << 20;

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out) {
  static const std::array<int8_t, 256> values = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(digits[i])] = i;
    return table;
  }();
  out.resize(text.size() / 4 * 3 + 3);
  size_t written = 0;
  uint32_t bits = 0;
  int count = 0;
  size_t padding = 0;
  for (const char c : text) {
    const int8_t value = values[static_cast<uint8_t>(c)];
    if (value < 0) {
      if (c == '=') {
        ++padding;
        continue;
      }
      if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
      return false;
    }
    if (padding > 0) return false;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      out[written] = static_cast<uint8_t>(bits >> 16);
      out[written + 1] = static_cast<uint8_t>(bits >> 8);
      out[written + 2] = static_cast<uint8_t>(bits);
      written += 3;
      count = 0;
      bits = 0;
    }
  }
  if (count == 1 || padding > 2) return false;
  if (count == 2) out[written++] = static_cast<uint8_t>(bits >> 4);
  if (count == 3) {
    out[written++] = static_cast<uint8_t>(bits >> 10);
    out[written++] = static_cast<uint8_t>(bits >> 2);
  }
  out.resize(written);
  return true;
}

// zlib and gzip streams (windowBits picks which); exactly `wanted` bytes.
bool Inflate(const std::vector<uint8_t>& in, int windowBits, size_t wanted,
             std::vector<uint8_t>& out) {
  if (in.size() > UINT32_MAX) return false;
  z_stream stream{};
  if (inflateInit2(&stream, windowBits) != Z_OK) return false;
  out.clear();
  stream.next_in = const_cast<Bytef*>(in.data());
  stream.avail_in = static_cast<uInt>(in.size());
  bool ok = false;
  while (true) {
    if (out.size() == wanted) {
      // One byte of room tells a stream that ends here from one that goes on.
      uint8_t extra = 0;
      stream.next_out = &extra;
      stream.avail_out = 1;
      const int result = inflate(&stream, Z_FINISH);
      ok = result == Z_STREAM_END && stream.avail_out == 1;
      break;
    }
    const size_t at = out.size();
    const size_t piece = std::min(OutputPiece, wanted - at);
    out.resize(at + piece);
    stream.next_out = out.data() + at;
    stream.avail_out = static_cast<uInt>(piece);
    const int result = inflate(&stream, Z_NO_FLUSH);
    out.resize(out.size() - stream.avail_out);
    if (result == Z_STREAM_END) {
      ok = out.size() == wanted;
      break;
    }
    if (result != Z_OK || out.size() == at) break;  // damaged, or the data ends early
  }
  inflateEnd(&stream);
  return ok;
}

bool Unzstd(const std::vector<uint8_t>& in, size_t wanted, std::vector<uint8_t>& out) {
  std::unique_ptr<ZSTD_DStream, size_t (*)(ZSTD_DStream*)> stream(ZSTD_createDStream(),
                                                                  ZSTD_freeDStream);
  if (!stream) return false;
  out.clear();
  ZSTD_inBuffer input{in.data(), in.size(), 0};
  size_t last = 1;
  while (input.pos < input.size || last != 0) {
    uint8_t extra = 0;
    ZSTD_outBuffer output{};
    if (out.size() == wanted) {
      output = {&extra, 1, 0};
    } else {
      const size_t piece = std::min(OutputPiece, wanted - out.size());
      const size_t at = out.size();
      out.resize(at + piece);
      output = {out.data() + at, piece, 0};
    }
    const size_t inBefore = input.pos;
    last = ZSTD_decompressStream(stream.get(), &output, &input);
    if (ZSTD_isError(last)) return false;
    if (output.dst == &extra) {
      if (output.pos > 0) return false;  // more than the layer holds
    } else {
      out.resize(out.size() - (output.size - output.pos));
    }
    // No input taken and nothing made: the stream ends early.
    if (input.pos == inBefore && output.pos == 0) return last == 0 && out.size() == wanted;
  }
  return out.size() == wanted;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

bool ParseCsv(std::string_view text, size_t expected, std::vector<uint32_t>& gids) {
  // Room for what the text can really hold, never for what a map claims.
  gids.clear();
  gids.reserve(std::min(expected, text.size() / 2 + 1));
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end && IsSpace(*at)) ++at;
  while (at != end) {
    if (gids.size() == expected) return false;
    uint64_t value = 0;
    const char* start = at;
    while (at != end && static_cast<unsigned>(*at - '0') < 10u) {
      value = value * 10 + static_cast<unsigned>(*at - '0');
      if (value > UINT32_MAX) return false;
      ++at;
    }
    if (at == start) return false;
    gids.push_back(static_cast<uint32_t>(value));
    while (at != end && IsSpace(*at)) ++at;
    if (at != end && *at == ',') {
      ++at;
      while (at != end && IsSpace(*at)) ++at;
    }
  }
  return gids.size() == expected;
}

}  // namespace

EngineRefusal Refuse(EngineRefusalCode code, std::string detail) {
  EngineRefusal refusal;
  refusal.code = code;
  refusal.detail = std::move(detail);
  return refusal;
}

bool DecodeLayerData(std::string_view data, std::string_view encoding, std::string_view compression,
                     size_t expected, std::vector<uint32_t>& gids) {
  if (encoding == "csv") return compression.empty() && ParseCsv(data, expected, gids);
  if (encoding != "base64") return false;
  if (expected > SIZE_MAX / GidBytes) return false;
  const size_t wanted = expected * GidBytes;
  std::vector<uint8_t> packed;
  if (!DecodeBase64(data, packed)) return false;
  std::vector<uint8_t> raw;
  if (compression.empty()) {
    raw = std::move(packed);
  } else if (compression == "zlib") {
    if (!Inflate(packed, 15, wanted, raw)) return false;
  } else if (compression == "gzip") {
    if (!Inflate(packed, 15 + 16, wanted, raw)) return false;
  } else if (compression == "zstd") {
    if (!Unzstd(packed, wanted, raw)) return false;
  } else {
    return false;
  }
  if (raw.size() != wanted) return false;
  gids.resize(expected);
  for (size_t i = 0; i < expected; ++i) {
    const uint8_t* at = raw.data() + i * GidBytes;
    gids[i] = uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
              (uint32_t{at[3]} << 24);
  }
  return true;
}

EngineMapKind DetectEngineMap(std::span<const uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t i = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i >= text.size()) return EngineMapKind::None;
  if (text[i] == '<') {
    // The first element that is not a declaration, comment or doctype.
    while (i < text.size()) {
      const size_t open = text.find('<', i);
      if (open == std::string_view::npos || open + 1 >= text.size()) return EngineMapKind::None;
      const char next = text[open + 1];
      if (next == '?' || next == '!') {
        const std::string_view end = text.substr(open, 4) == "<!--" ? "-->" : ">";
        const size_t close = text.find(end, open + 2);
        if (close == std::string_view::npos) return EngineMapKind::None;
        i = close + end.size();
        continue;
      }
      const std::string_view name = text.substr(open + 1, 4);
      return name.size() == 4 && name.substr(0, 3) == "map" &&
                     (std::isspace(static_cast<unsigned char>(name[3])) || name[3] == '>' ||
                      name[3] == '/')
                 ? EngineMapKind::Tmx
                 : EngineMapKind::None;
    }
    return EngineMapKind::None;
  }
  if (text[i] != '{') return EngineMapKind::None;
  // Our own and the peer's writers put "type" near the start, but any
  // position counts: look for the key at the object's top level.
  int depth = 0;
  bool inString = false;
  size_t stringStart = 0;
  std::string_view lastKey;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
        const std::string_view value = text.substr(stringStart, i - stringStart);
        size_t j = i + 1;
        while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j]))) ++j;
        if (j < text.size() && text[j] == ':') {
          lastKey = depth == 1 ? value : std::string_view{};
        } else if (depth == 1 && lastKey == "type") {
          return value == "map" ? EngineMapKind::Tmj : EngineMapKind::None;
        }
      }
      continue;
    }
    if (c == '"') {
      inString = true;
      stringStart = i + 1;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (--depth <= 0) break;
    }
  }
  return EngineMapKind::None;
}

EngineRefusal CheckMapHeader(std::string_view orientation, int64_t tileWidth, int64_t tileHeight) {
  if (orientation != "orthogonal") {
    return Refuse(EngineRefusalCode::NotOrthogonal, std::string(orientation));
  }
  if (tileWidth != ChipSize || tileHeight != ChipSize) {
    return Refuse(EngineRefusalCode::TileSize,
                  std::to_string(tileWidth) + " x " + std::to_string(tileHeight));
  }
  return {};
}

bool FitsChunk(int64_t x, int64_t y, int64_t width, int64_t height) {
  constexpr int64_t Far = int64_t{1} << 30;
  return width >= 0 && height >= 0 && width <= MaxMapSide && height <= MaxMapSide && x > -Far &&
         x < Far && y > -Far && y < Far;
}

std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

std::string ResolveAgainst(const std::string& folder, const std::string& name) {
  const std::filesystem::path relative(name);
  if (relative.is_absolute() || folder.empty()) return relative.lexically_normal().string();
  return (std::filesystem::path(folder) / relative).lexically_normal().string();
}

}  // namespace kelvor
