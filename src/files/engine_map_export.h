#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/pixel_buffer.h"
#include "document/map_document.h"
#include "platform/atomic_file.h"
#include "platform/canvas.h"

namespace kelvor {

class ImageEncoder;
class Messages;

// Maps for game engines, in the two forms nearly all of them read: TMX (XML)
// and its JSON twin TMJ. The map embeds three tilesets whose pictures lie
// beside it: the two chip atlases and the flags tiles drawn here, so that
// both chip levels, the walls and flags and the chips' attributes arrive.
enum class EngineMapFormat { Tmx, Tmj };

// Layer data as comma-separated gids, or as base64 of the zlib-compressed
// gids (32-bit little-endian).
enum class EngineMapEncoding { Csv, Zlib };

// Global tile ids: slot n of the background table is gid 1 + n, slot n of
// the layer table 257 + n, flags tile f is 513 + f. Slot 0 (no chip) and
// flags tile 0 (no flag) are written as gid 0, which draws nothing.
inline constexpr uint32_t BackgroundFirstGid = 1;
inline constexpr uint32_t LayerFirstGid = 257;
inline constexpr uint32_t FlagsFirstGid = 513;

// One flags tile per combination of the four lasting cell flags, laid out
// 4 x 4 in a picture of 32 x 32 tiles; the tile number is the sum of these.
inline constexpr int32_t FlagTileCount = 16;
inline constexpr int32_t FlagTileColumns = 4;
inline constexpr uint32_t FlagTileCollision = 1;
inline constexpr uint32_t FlagTileWallEast = 2;
inline constexpr uint32_t FlagTileWallSouth = 4;
inline constexpr uint32_t FlagTilePriority = 8;

// The flags tile bit a boolean tile property of our flags tileset names; 0
// for any other property.
constexpr uint8_t FlagTileOfName(std::string_view name) {
  if (name == "collision") return FlagTileCollision;
  if (name == "wallEast") return FlagTileWallEast;
  if (name == "wallSouth") return FlagTileWallSouth;
  if (name == "priority") return FlagTilePriority;
  return 0;
}

// The flags tile of a cell. The marks of a button press and the reserved
// bits are not part of the map a game sees.
constexpr uint32_t FlagTileOf(MapCell cell) {
  return ((cell >> 8) & 7u) | ((cell >> 9) & FlagTilePriority);
}

// The pictures beside a map, named as the map refers to them: the map's
// file name without its extension, then ".background.png", ".layer.png" and
// ".flags.png".
struct EngineMapImages {
  std::string background;
  std::string layer;
  std::string flags;
};
EngineMapImages EngineMapImageNames(std::string_view mapPath);

// Whether a name can stand in both forms as it is: valid UTF-8 without
// control characters (XML 1.0 cannot hold those at all).
bool FitsEngineMapText(std::string_view name);

// The map file's text. False, with the text incomplete, only when the
// compressor cannot start.
bool SerializeEngineMap(ByteSink& sink, const MapDocument& document, EngineMapFormat format,
                        EngineMapEncoding encoding, const EngineMapImages& images);

// The flags tiles picture, 128 x 128, drawn as the map view marks flags in
// its collision and priority modes: a collision cell filled (translucent, so
// chips under it stay visible), a wall as a bar along the right or bottom
// edge, priority as the cell frame.
PixelBuffer ComposeFlagTiles(const CanvasFactory& makeCanvas);

enum class EngineMapStatus {
  Ok,
  NoMap,         // no grid, or one without cells
  UnfitName,     // the pictures' names cannot be written into the map
  CannotCreate,  // a temporary file could not be made
  CannotWrite,   // writing, syncing or renaming failed
};

// Writes the map and its three pictures as one set: the pictures and the map
// go to temporary files beside their targets first and are synced; only when
// all four are complete are the pictures renamed over theirs, the map last.
// A failure before that leaves every previous file as it was and no
// temporary behind; a failed rename (which only a vanished folder or a full
// directory causes) can leave new pictures beside the previous map.
EngineMapStatus WriteEngineMap(const std::string& path, const MapDocument& document,
                               EngineMapFormat format, EngineMapEncoding encoding,
                               ImageEncoder& encoder, const CanvasFactory& makeCanvas,
                               Messages& messages);

// The Save As types: WriteEngineMap with CSV data under the wait cursor; a
// failure shows "ファイルを作成できません" or "ファイルを保存できません" as
// the document writers do. The document path is never changed.
bool ExportEngineMap(const std::string& path, const MapDocument& document, EngineMapFormat format,
                     ImageEncoder& encoder, const CanvasFactory& makeCanvas, Messages& messages);

}  // namespace kelvor
