#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace kelvor {

// Why a map from another editor is not opened. Each has one message; the
// detail (names, a cell) goes where the message says.
enum class EngineRefusalCode {
  None,
  Damaged,          // not a readable map at all
  NotOrthogonal,    // detail: the orientation
  TileSize,         // detail: "W x H"
  TooManyLayers,    // detail: the chip layers' names, one a line
  TooLarge,         // detail: "W x H"
  TooManyChips,     // detail: the level
  TooManyFiles,     // more than 256 images
  Flipped,          // detail: "(column, row)" of the first such cell
  ImageUnreadable,  // detail: the image path
  NotWholeChips,    // detail: the image path
  NameClash,        // detail: the two files, one a line
  Empty,            // no tile layer holds any tile
};

struct EngineRefusal {
  EngineRefusalCode code = EngineRefusalCode::None;
  std::string detail;
  explicit operator bool() const { return code != EngineRefusalCode::None; }
};

EngineRefusal Refuse(EngineRefusalCode code, std::string detail = "");

// A tile's properties this program understands.
struct EngineTile {
  std::string kelvorChip;  // "FILE:COLUMN:ROW" from our own export
  uint8_t flagBits = 0;    // FlagTile* values of the boolean properties that are true
  uint8_t flagNames = 0;   // FlagTile* values of the boolean properties present at all
};

struct EngineTileset {
  uint32_t firstGid = 0;
  std::string name;
  int32_t tileWidth = 0, tileHeight = 0, spacing = 0, margin = 0;
  int32_t columns = 0, tileCount = 0;
  std::string imagePath;  // resolved against the folder of the file that names it; empty: none
  std::map<int32_t, EngineTile> tiles;
};

// Allocates without setting what it allocates: a layer's gids are all
// written by its decoder before anything reads them, so that growing the
// list costs no pass over memory about to be overwritten.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() = default;
  template <typename U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};
using GidList = std::vector<uint32_t, UnsetAllocator<uint32_t>>;

// A rectangle of a layer; a finite map's layer is one chunk at (0, 0).
struct EngineChunk {
  int32_t x = 0, y = 0, width = 0, height = 0;
  GidList gids;  // row-major, width x height
};

struct EngineTileLayer {
  std::string name;
  std::vector<EngineChunk> chunks;
};

// A TMX or TMJ map as read, before it becomes a document. Tile layers of
// groups are listed in document order.
struct EngineMapSource {
  int32_t width = 0, height = 0;
  bool infinite = false;
  std::vector<EngineTileset> tilesets;
  std::vector<EngineTileLayer> layers;
  bool ignoredLayers = false;  // object or image layers were left out
};

// The bytes of an external tileset, by its resolved path; false when it
// cannot be read.
using ReadTilesetFile = std::function<bool(const std::string& path, std::string& bytes)>;

enum class EngineMapKind { None, Tmx, Tmj };

// By content: an XML document whose root is <map>, or a JSON object with
// "type": "map".
EngineMapKind DetectEngineMap(std::span<const uint8_t> bytes);

// `folder` is the map's folder, against which tileset and image names resolve.
EngineRefusal ParseTmx(std::string_view text, const std::string& folder,
                       const ReadTilesetFile& readTileset, EngineMapSource& map);
// The same from a buffer the caller owns, parsed where it lies (and changed
// by that): no copy of a big map's text is made.
EngineRefusal ParseTmxInPlace(std::span<char> text, const std::string& folder,
                              const ReadTilesetFile& readTileset, EngineMapSource& map);
EngineRefusal ParseTmj(std::string_view text, const std::string& folder,
                       const ReadTilesetFile& readTileset, EngineMapSource& map);

// An external tileset: a .tsx (XML) or a .tsj (JSON), told apart by content.
EngineRefusal ParseTilesetFile(std::string_view text, const std::string& folder,
                               EngineTileset& tileset);
EngineRefusal ParseTsx(std::string_view text, const std::string& folder, EngineTileset& tileset);
EngineRefusal ParseTsj(std::string_view text, const std::string& folder, EngineTileset& tileset);

// A layer's or chunk's data in one of the encodings: "csv", "base64" (with
// compression "", "zlib", "gzip" or "zstd") or none. Exactly `expected` gids,
// never holding more than the data really gives.
bool DecodeLayerData(std::string_view data, std::string_view encoding, std::string_view compression,
                     size_t expected, GidList& gids);

// One layer's or chunk's data waiting to be decoded into `gids`: text in an
// encoding as above, or, when `decode` is set, data of another form that it
// turns into the gids itself.
struct LayerDataJob {
  std::string_view data;
  std::string_view encoding;
  std::string_view compression;
  size_t expected = 0;
  GidList* gids = nullptr;
  std::function<bool(GidList& gids)> decode;
};

// Decodes every job, on up to `threads` processors (0: all there are), long
// CSV texts in pieces. False when any job's data is damaged or does not hold
// exactly its gids.
bool DecodeLayerDataJobs(std::vector<LayerDataJob>& jobs, size_t threads = 0);

// Checks shared by both forms: the map's orientation and tile size, the
// chunks' sizes and the map's side.
EngineRefusal CheckMapHeader(std::string_view orientation, int64_t tileWidth, int64_t tileHeight);
bool FitsChunk(int64_t x, int64_t y, int64_t width, int64_t height);

// The folder part of a path ("" for none) and a relative name resolved against it.
std::string FolderOf(const std::string& path);
std::string ResolveAgainst(const std::string& folder, const std::string& name);

}  // namespace kelvor
