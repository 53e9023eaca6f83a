#pragma once

// How the engine map writer puts a layer's gids into text: comma-separated
// rows, or base64 of the zlib-compressed 32-bit values. Only the writer uses it.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

#include "document/map_document.h"
#include "files/block_writer.h"
#include "files/engine_map_export.h"

namespace kelvor::engine_map_data {

constexpr int32_t FlagTilesSide = FlagTileColumns * ChipSize;

inline bool MapHasCells(const MapGrid& grid) {
  return grid.Exists() && grid.width > 0 && grid.height > 0 &&
         grid.CellCount() == static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height);
}

// Every gid a layer can hold as eight bytes: its digits and a comma, and in
// the last byte their count. One load and one store per cell, since the
// layers are nearly all the work.
constexpr uint32_t GidLimit = FlagsFirstGid + FlagTileCount;

inline const std::array<uint64_t, GidLimit>& GidTexts() {
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

}  // namespace kelvor::engine_map_data
