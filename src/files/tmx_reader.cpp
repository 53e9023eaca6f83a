#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <vector>

#include "document/map_document.h"
#include "files/engine_map_export.h"
#include "files/engine_map_source.h"

namespace kelvor {
namespace {

// A whole decimal number, or `fallback` when the attribute is absent; false
// for anything else.
bool IntAttribute(const pugi::xml_node& node, const char* name, int64_t fallback, int64_t& value) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) {
    value = fallback;
    return true;
  }
  const char* text = attribute.value();
  const char* end = text + std::strlen(text);
  const auto [ptr, error] = std::from_chars(text, end, value);
  return error == std::errc{} && ptr == end;
}

bool ReadTileset(const pugi::xml_node& node, const std::string& folder, EngineTileset& tileset) {
  int64_t tileWidth = 0, tileHeight = 0, spacing = 0, margin = 0, columns = 0, tileCount = 0;
  if (!IntAttribute(node, "tilewidth", 0, tileWidth) ||
      !IntAttribute(node, "tileheight", 0, tileHeight) ||
      !IntAttribute(node, "spacing", 0, spacing) || !IntAttribute(node, "margin", 0, margin) ||
      !IntAttribute(node, "columns", 0, columns) ||
      !IntAttribute(node, "tilecount", 0, tileCount)) {
    return false;
  }
  constexpr int64_t Limit = int64_t{1} << 24;
  for (const int64_t v : {tileWidth, tileHeight, spacing, margin, columns, tileCount}) {
    if (v < 0 || v > Limit) return false;
  }
  tileset.name = node.attribute("name").value();
  tileset.tileWidth = static_cast<int32_t>(tileWidth);
  tileset.tileHeight = static_cast<int32_t>(tileHeight);
  tileset.spacing = static_cast<int32_t>(spacing);
  tileset.margin = static_cast<int32_t>(margin);
  tileset.columns = static_cast<int32_t>(columns);
  tileset.tileCount = static_cast<int32_t>(tileCount);
  const pugi::xml_node image = node.child("image");
  if (image && image.attribute("source")) {
    tileset.imagePath = ResolveAgainst(folder, image.attribute("source").value());
  }
  for (const pugi::xml_node& tileNode : node.children("tile")) {
    int64_t id = -1;
    if (!IntAttribute(tileNode, "id", -1, id) || id < 0 || id > Limit) return false;
    EngineTile tile;
    for (const pugi::xml_node& property : tileNode.child("properties").children("property")) {
      const std::string_view name = property.attribute("name").value();
      const std::string_view value = property.attribute("value").value();
      if (name == "kelvorChip") {
        tile.kelvorChip = value;
      } else if (const uint8_t bit = FlagTileOfName(name); bit != 0) {
        tile.flagNames |= bit;
        if (value == "true") tile.flagBits |= bit;
      }
    }
    tileset.tiles[static_cast<int32_t>(id)] = std::move(tile);
  }
  return true;
}

// Embedded, or in a .tsx (or .tsj) beside the map.
EngineRefusal ReadMapTileset(const pugi::xml_node& node, const std::string& folder,
                             const ReadTilesetFile& readTileset, EngineTileset& tileset) {
  int64_t firstGid = 0;
  if (!IntAttribute(node, "firstgid", 0, firstGid) || firstGid < 1 || firstGid > UINT32_MAX / 2) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  if (!node.attribute("source")) {
    if (!ReadTileset(node, folder, tileset)) return Refuse(EngineRefusalCode::Damaged);
  } else {
    const std::string path = ResolveAgainst(folder, node.attribute("source").value());
    std::string bytes;
    if (!readTileset || !readTileset(path, bytes)) {
      return Refuse(EngineRefusalCode::Damaged, path);
    }
    const EngineRefusal refusal = ParseTilesetFile(bytes, FolderOf(path), tileset);
    if (refusal) return refusal;
  }
  tileset.firstGid = static_cast<uint32_t>(firstGid);
  return {};
}

// The gids of a <data> or <chunk>: text in an encoding, or <tile> elements.
bool ReadData(const pugi::xml_node& node, std::string_view encoding, std::string_view compression,
              size_t expected, GidList& gids) {
  if (!encoding.empty()) {
    return DecodeLayerData(node.child_value(), encoding, compression, expected, gids);
  }
  gids.clear();
  for (const pugi::xml_node& tile : node.children("tile")) {
    if (gids.size() == expected) return false;
    int64_t gid = 0;
    if (!IntAttribute(tile, "gid", 0, gid) || gid < 0 || gid > UINT32_MAX) return false;
    gids.push_back(static_cast<uint32_t>(gid));
  }
  return gids.size() == expected;
}

// A chunk whose data is decoded once the whole map is walked, big layers
// on several processors at once.
struct PendingData {
  size_t layer = 0;
  size_t chunk = 0;
  pugi::xml_node node;
  std::string_view encoding;
  std::string_view compression;
};

bool AddChunk(const pugi::xml_node& node, std::string_view encoding, std::string_view compression,
              EngineChunk chunk, EngineMapSource& map, std::vector<PendingData>& pending) {
  EngineTileLayer& layer = map.layers.back();
  if (encoding.empty()) {
    const size_t cells = static_cast<size_t>(chunk.width) * static_cast<size_t>(chunk.height);
    if (!ReadData(node, encoding, compression, cells, chunk.gids)) return false;
  } else {
    pending.push_back({map.layers.size() - 1, layer.chunks.size(), node, encoding, compression});
  }
  layer.chunks.push_back(std::move(chunk));
  return true;
}

bool ReadLayer(const pugi::xml_node& node, EngineMapSource& map,
               std::vector<PendingData>& pending) {
  map.layers.emplace_back();
  map.layers.back().name = node.attribute("name").value();
  const pugi::xml_node data = node.child("data");
  if (!data) return false;
  const std::string_view encoding = data.attribute("encoding").value();
  const std::string_view compression = data.attribute("compression").value();
  if (!map.infinite) {
    EngineChunk chunk;
    chunk.width = map.width;
    chunk.height = map.height;
    return AddChunk(data, encoding, compression, std::move(chunk), map, pending);
  }
  for (const pugi::xml_node& chunkNode : data.children("chunk")) {
    int64_t x = 0, y = 0, width = 0, height = 0;
    if (!IntAttribute(chunkNode, "x", 0, x) || !IntAttribute(chunkNode, "y", 0, y) ||
        !IntAttribute(chunkNode, "width", 0, width) ||
        !IntAttribute(chunkNode, "height", 0, height) || !FitsChunk(x, y, width, height)) {
      return false;
    }
    EngineChunk chunk{static_cast<int32_t>(x),
                      static_cast<int32_t>(y),
                      static_cast<int32_t>(width),
                      static_cast<int32_t>(height),
                      {}};
    if (!AddChunk(chunkNode, encoding, compression, std::move(chunk), map, pending)) return false;
  }
  return true;
}

bool ReadLayers(const pugi::xml_node& parent, EngineMapSource& map,
                std::vector<PendingData>& pending, int depth) {
  if (depth > 64) return false;
  for (const pugi::xml_node& node : parent.children()) {
    const std::string_view kind = node.name();
    if (kind == "layer") {
      if (!ReadLayer(node, map, pending)) return false;
    } else if (kind == "group") {
      if (!ReadLayers(node, map, pending, depth + 1)) return false;
    } else if (kind == "objectgroup" || kind == "imagelayer") {
      map.ignoredLayers = true;
    }
  }
  return true;
}

}  // namespace

EngineRefusal ParseTsx(std::string_view text, const std::string& folder, EngineTileset& tileset) {
  pugi::xml_document xml;
  if (!xml.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  const pugi::xml_node root = xml.child("tileset");
  if (!root || !ReadTileset(root, folder, tileset)) return Refuse(EngineRefusalCode::Damaged);
  return {};
}

namespace {

EngineRefusal ReadTmx(const pugi::xml_document& xml, const std::string& folder,
                      const ReadTilesetFile& readTileset, EngineMapSource& map) {
  const pugi::xml_node root = xml.child("map");
  if (!root) return Refuse(EngineRefusalCode::Damaged);
  int64_t tileWidth = 0, tileHeight = 0, width = 0, height = 0, infinite = 0;
  if (!IntAttribute(root, "tilewidth", 0, tileWidth) ||
      !IntAttribute(root, "tileheight", 0, tileHeight) || !IntAttribute(root, "width", 0, width) ||
      !IntAttribute(root, "height", 0, height) || !IntAttribute(root, "infinite", 0, infinite) ||
      width < 0 || height < 0) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  const std::string_view orientation =
      root.attribute("orientation") ? root.attribute("orientation").value() : "orthogonal";
  if (EngineRefusal refusal = CheckMapHeader(orientation, tileWidth, tileHeight)) return refusal;
  map.infinite = infinite != 0;
  if (!map.infinite && (width > MaxMapSide || height > MaxMapSide)) {
    return Refuse(EngineRefusalCode::TooLarge,
                  std::to_string(width) + " x " + std::to_string(height));
  }
  map.width = static_cast<int32_t>(map.infinite ? 0 : width);
  map.height = static_cast<int32_t>(map.infinite ? 0 : height);
  for (const pugi::xml_node& node : root.children("tileset")) {
    EngineTileset tileset;
    if (EngineRefusal refusal = ReadMapTileset(node, folder, readTileset, tileset)) {
      return refusal;
    }
    map.tilesets.push_back(std::move(tileset));
  }
  std::vector<PendingData> pending;
  if (!ReadLayers(root, map, pending, 0)) return Refuse(EngineRefusalCode::Damaged);
  std::vector<LayerDataJob> jobs;
  jobs.reserve(pending.size());
  for (const PendingData& data : pending) {
    EngineChunk& chunk = map.layers[data.layer].chunks[data.chunk];
    const size_t cells = static_cast<size_t>(chunk.width) * static_cast<size_t>(chunk.height);
    jobs.push_back(
        {data.node.child_value(), data.encoding, data.compression, cells, &chunk.gids, {}});
  }
  if (!DecodeLayerDataJobs(jobs)) return Refuse(EngineRefusalCode::Damaged);
  return {};
}

// Layer texts become element values rather than nodes of their own.
constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_embed_pcdata;

}  // namespace

EngineRefusal ParseTmx(std::string_view text, const std::string& folder,
                       const ReadTilesetFile& readTileset, EngineMapSource& map) {
  pugi::xml_document xml;
  if (!xml.load_buffer(text.data(), text.size(), ParseOptions, pugi::encoding_utf8)) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  return ReadTmx(xml, folder, readTileset, map);
}

EngineRefusal ParseTmxInPlace(std::span<char> text, const std::string& folder,
                              const ReadTilesetFile& readTileset, EngineMapSource& map) {
  pugi::xml_document xml;
  if (!xml.load_buffer_inplace(text.data(), text.size(), ParseOptions, pugi::encoding_utf8)) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  return ReadTmx(xml, folder, readTileset, map);
}

}  // namespace kelvor
