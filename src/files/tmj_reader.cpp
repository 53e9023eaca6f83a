#include <nlohmann/json.hpp>

#include <cctype>

#include "document/map_document.h"
#include "files/engine_map_export.h"
#include "files/engine_map_source.h"

namespace kelvor {
namespace {

using Json = nlohmann::json;

// Every access checks the type first: a value of another type is a damaged
// file, never an exception.
bool Int(const Json& object, const char* key, int64_t fallback, int64_t& value) {
  const auto found = object.find(key);
  if (found == object.end()) {
    value = fallback;
    return true;
  }
  if (!found->is_number_integer()) return false;
  value = found->get<int64_t>();
  return true;
}

std::string String(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool ReadTileset(const Json& node, const std::string& folder, EngineTileset& tileset) {
  if (!node.is_object()) return false;
  int64_t tileWidth = 0, tileHeight = 0, spacing = 0, margin = 0, columns = 0, tileCount = 0;
  if (!Int(node, "tilewidth", 0, tileWidth) || !Int(node, "tileheight", 0, tileHeight) ||
      !Int(node, "spacing", 0, spacing) || !Int(node, "margin", 0, margin) ||
      !Int(node, "columns", 0, columns) || !Int(node, "tilecount", 0, tileCount)) {
    return false;
  }
  constexpr int64_t Limit = int64_t{1} << 24;
  for (const int64_t v : {tileWidth, tileHeight, spacing, margin, columns, tileCount}) {
    if (v < 0 || v > Limit) return false;
  }
  tileset.name = String(node, "name");
  tileset.tileWidth = static_cast<int32_t>(tileWidth);
  tileset.tileHeight = static_cast<int32_t>(tileHeight);
  tileset.spacing = static_cast<int32_t>(spacing);
  tileset.margin = static_cast<int32_t>(margin);
  tileset.columns = static_cast<int32_t>(columns);
  tileset.tileCount = static_cast<int32_t>(tileCount);
  const std::string image = String(node, "image");
  if (!image.empty()) tileset.imagePath = ResolveAgainst(folder, image);
  const auto tiles = node.find("tiles");
  if (tiles == node.end()) return true;
  if (!tiles->is_array()) return false;
  for (const Json& tileNode : *tiles) {
    if (!tileNode.is_object()) return false;
    int64_t id = -1;
    if (!Int(tileNode, "id", -1, id) || id < 0 || id > Limit) return false;
    EngineTile tile;
    const auto properties = tileNode.find("properties");
    if (properties != tileNode.end() && properties->is_array()) {
      for (const Json& property : *properties) {
        if (!property.is_object()) return false;
        const std::string name = String(property, "name");
        const auto value = property.find("value");
        if (name == "kelvorChip") {
          tile.kelvorChip = String(property, "value");
        } else if (const uint8_t bit = FlagTileOfName(name); bit != 0) {
          tile.flagNames |= bit;
          if (value != property.end() && value->is_boolean() && value->get<bool>()) {
            tile.flagBits |= bit;
          }
        }
      }
    }
    tileset.tiles[static_cast<int32_t>(id)] = std::move(tile);
  }
  return true;
}

EngineRefusal ReadMapTileset(const Json& node, const std::string& folder,
                             const ReadTilesetFile& readTileset, EngineTileset& tileset) {
  if (!node.is_object()) return Refuse(EngineRefusalCode::Damaged);
  int64_t firstGid = 0;
  if (!Int(node, "firstgid", 0, firstGid) || firstGid < 1 || firstGid > UINT32_MAX / 2) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  const std::string source = String(node, "source");
  if (source.empty()) {
    if (!ReadTileset(node, folder, tileset)) return Refuse(EngineRefusalCode::Damaged);
  } else {
    const std::string path = ResolveAgainst(folder, source);
    std::string bytes;
    if (!readTileset || !readTileset(path, bytes)) {
      return Refuse(EngineRefusalCode::Damaged, path);
    }
    if (EngineRefusal refusal = ParseTilesetFile(bytes, FolderOf(path), tileset)) return refusal;
  }
  tileset.firstGid = static_cast<uint32_t>(firstGid);
  return {};
}

// A string value of an object, as a view into the document; empty when
// absent or of another type.
std::string_view StringView(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string()
             ? std::string_view(found->get_ref<const std::string&>())
             : std::string_view();
}

// A chunk whose data is decoded once the whole map is walked, big layers
// on several processors at once: numbers in an array, or a base64 string
// with the layer's compression.
struct PendingData {
  size_t layer = 0;
  size_t chunk = 0;
  const Json* holder = nullptr;
  const Json* data = nullptr;
};

bool ReadArray(const Json& data, size_t expected, GidList& gids) {
  if (data.size() != expected) return false;
  gids.clear();
  gids.reserve(expected);
  for (const Json& value : data) {
    if (!value.is_number_unsigned() && !value.is_number_integer()) return false;
    const int64_t gid = value.get<int64_t>();
    if (gid < 0 || gid > UINT32_MAX) return false;
    gids.push_back(static_cast<uint32_t>(gid));
  }
  return true;
}

bool AddChunk(const Json& holder, const Json& data, EngineChunk chunk, size_t layerIndex,
              EngineTileLayer& layer, std::vector<PendingData>& pending) {
  if (!data.is_array() && !data.is_string()) return false;
  pending.push_back({layerIndex, layer.chunks.size(), &holder, &data});
  layer.chunks.push_back(std::move(chunk));
  return true;
}

bool ReadLayer(const Json& node, const EngineMapSource& map, EngineTileLayer& layer,
               std::vector<PendingData>& pending) {
  layer.name = String(node, "name");
  const size_t index = map.layers.size();
  if (!map.infinite) {
    const auto data = node.find("data");
    if (data == node.end()) return false;
    EngineChunk chunk;
    chunk.width = map.width;
    chunk.height = map.height;
    return AddChunk(node, *data, std::move(chunk), index, layer, pending);
  }
  const auto chunks = node.find("chunks");
  if (chunks == node.end() || !chunks->is_array()) return false;
  for (const Json& chunkNode : *chunks) {
    if (!chunkNode.is_object()) return false;
    int64_t x = 0, y = 0, width = 0, height = 0;
    if (!Int(chunkNode, "x", 0, x) || !Int(chunkNode, "y", 0, y) ||
        !Int(chunkNode, "width", 0, width) || !Int(chunkNode, "height", 0, height) ||
        !FitsChunk(x, y, width, height)) {
      return false;
    }
    const auto data = chunkNode.find("data");
    if (data == chunkNode.end()) return false;
    EngineChunk chunk{static_cast<int32_t>(x),
                      static_cast<int32_t>(y),
                      static_cast<int32_t>(width),
                      static_cast<int32_t>(height),
                      {}};
    // Encoding and compression are the layer's.
    if (!AddChunk(node, *data, std::move(chunk), index, layer, pending)) return false;
  }
  return true;
}

bool ReadLayers(const Json& layers, EngineMapSource& map, std::vector<PendingData>& pending,
                int depth) {
  if (!layers.is_array() || depth > 64) return false;
  for (const Json& node : layers) {
    if (!node.is_object()) return false;
    const std::string type = String(node, "type");
    if (type == "tilelayer") {
      EngineTileLayer layer;
      if (!ReadLayer(node, map, layer, pending)) return false;
      map.layers.push_back(std::move(layer));
    } else if (type == "group") {
      const auto children = node.find("layers");
      if (children != node.end() && !ReadLayers(*children, map, pending, depth + 1)) return false;
    } else if (type == "objectgroup" || type == "imagelayer") {
      map.ignoredLayers = true;
    }
  }
  return true;
}

Json ParseJson(std::string_view text) {
  // Deeply nested input must not run the parser's recursion out of stack.
  constexpr int MaxDepth = 200;
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > MaxDepth) return Json::value_t::discarded;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return Json::parse(text.begin(), text.end(), nullptr, false);
}

EngineRefusal ParseTmjMap(const Json& root, const std::string& folder,
                          const ReadTilesetFile& readTileset, EngineMapSource& map) {
  if (!root.is_object() || String(root, "type") != "map") return Refuse(EngineRefusalCode::Damaged);
  int64_t tileWidth = 0, tileHeight = 0, width = 0, height = 0;
  if (!Int(root, "tilewidth", 0, tileWidth) || !Int(root, "tileheight", 0, tileHeight) ||
      !Int(root, "width", 0, width) || !Int(root, "height", 0, height) || width < 0 || height < 0) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  const auto infinite = root.find("infinite");
  map.infinite = infinite != root.end() && infinite->is_boolean() && infinite->get<bool>();
  const std::string orientation =
      root.contains("orientation") ? String(root, "orientation") : "orthogonal";
  if (EngineRefusal refusal = CheckMapHeader(orientation, tileWidth, tileHeight)) return refusal;
  if (!map.infinite && (width > MaxMapSide || height > MaxMapSide)) {
    return Refuse(EngineRefusalCode::TooLarge,
                  std::to_string(width) + " x " + std::to_string(height));
  }
  map.width = static_cast<int32_t>(map.infinite ? 0 : width);
  map.height = static_cast<int32_t>(map.infinite ? 0 : height);
  const auto tilesets = root.find("tilesets");
  if (tilesets != root.end()) {
    if (!tilesets->is_array()) return Refuse(EngineRefusalCode::Damaged);
    for (const Json& node : *tilesets) {
      EngineTileset tileset;
      if (EngineRefusal refusal = ReadMapTileset(node, folder, readTileset, tileset)) {
        return refusal;
      }
      map.tilesets.push_back(std::move(tileset));
    }
  }
  const auto layers = root.find("layers");
  std::vector<PendingData> pending;
  if (layers == root.end() || !ReadLayers(*layers, map, pending, 0)) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  std::vector<LayerDataJob> jobs;
  jobs.reserve(pending.size());
  for (const PendingData& data : pending) {
    EngineChunk& chunk = map.layers[data.layer].chunks[data.chunk];
    const size_t cells = static_cast<size_t>(chunk.width) * static_cast<size_t>(chunk.height);
    LayerDataJob& job = jobs.emplace_back();
    job.expected = cells;
    job.gids = &chunk.gids;
    if (data.data->is_array()) {
      const Json* array = data.data;
      job.decode = [array, cells](GidList& gids) { return ReadArray(*array, cells, gids); };
    } else {
      job.data = data.data->get_ref<const std::string&>();
      job.encoding = StringView(*data.holder, "encoding");
      job.compression = StringView(*data.holder, "compression");
    }
  }
  if (!DecodeLayerDataJobs(jobs)) return Refuse(EngineRefusalCode::Damaged);
  return {};
}

}  // namespace

EngineRefusal ParseTsj(std::string_view text, const std::string& folder, EngineTileset& tileset) {
  const Json root = ParseJson(text);
  if (root.is_discarded() || !ReadTileset(root, folder, tileset)) {
    return Refuse(EngineRefusalCode::Damaged);
  }
  return {};
}

EngineRefusal ParseTilesetFile(std::string_view text, const std::string& folder,
                               EngineTileset& tileset) {
  size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '{') return ParseTsj(text, folder, tileset);
  return ParseTsx(text, folder, tileset);
}

EngineRefusal ParseTmj(std::string_view text, const std::string& folder,
                       const ReadTilesetFile& readTileset, EngineMapSource& map) {
  const Json root = ParseJson(text);
  if (root.is_discarded()) return Refuse(EngineRefusalCode::Damaged);
  // The library throws only for misuse, which the checks above rule out;
  // should one slip through, the map is damaged rather than the program.
  try {
    return ParseTmjMap(root, folder, readTileset, map);
  } catch (const Json::exception&) {
    return Refuse(EngineRefusalCode::Damaged);
  }
}

}  // namespace kelvor
