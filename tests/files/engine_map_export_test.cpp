#include "files/engine_map_export.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_image_encoder.h"
#include "support/fakes.h"
#include "support/recording_canvas.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

// A 3 x 2 map: every flag combination a game needs, transient marks and
// reserved bits that must not leak, and chips with and without attributes.
MapDocument SmallMap() {
  MapDocument doc;
  doc.grid.Allocate(3, 2);
  *doc.grid.cells = {
      0x00010101,  // background 1, layer 1, collision
      0x00000202,  // background 2, wall east
      0x00020400,  // layer 2, wall south
      0x00000000,  // nothing
      0x00011000,  // layer 1, priority
      0xFF00FF01,  // background 1, every flag bit, bits 24-31 set
  };
  for (ChipTable& table : doc.tables) table.entries[0].used = 1;
  doc.tables[0].entries[1] = {1, 0, 0, 0, EntryFlagCollision};
  doc.tables[0].entries[2] = {1, 0, 1, 0, 0};
  doc.tables[0].entries[3] = {0, 0, 2, 0, EntryFlagCollision};  // not used: no tile
  doc.tables[0].entries[5] = {1, 0, 3, 0, EntryFlagCollision};  // used by no cell
  doc.tables[1].entries[1] = {1, 0, 0, 1, EntryFlagCollision | EntryFlagPriority};
  doc.tables[1].entries[2] = {1, 0, 1, 1, EntryFlagPriority};
  return doc;
}

constexpr std::string_view TmxHead =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" orientation="orthogonal" renderorder="right-down" width="3" height="2" tilewidth="32" tileheight="32" infinite="0" nextlayerid="4" nextobjectid="1">
 <properties>
  <property name="kelvorVersion" value="1.51"/>
 </properties>
 <tileset firstgid="1" name="background" tilewidth="32" tileheight="32" tilecount="256" columns="16">
  <image source="stage.background.png" width="512" height="512"/>
  <tile id="1"><properties><property name="collision" type="bool" value="true"/></properties></tile>
  <tile id="2"><properties><property name="collision" type="bool" value="false"/></properties></tile>
  <tile id="5"><properties><property name="collision" type="bool" value="true"/></properties></tile>
 </tileset>
 <tileset firstgid="257" name="layer" tilewidth="32" tileheight="32" tilecount="256" columns="16">
  <image source="stage.layer.png" width="512" height="512"/>
  <tile id="1"><properties><property name="collision" type="bool" value="true"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="2"><properties><property name="collision" type="bool" value="false"/><property name="priority" type="bool" value="true"/></properties></tile>
 </tileset>
 <tileset firstgid="513" name="flags" tilewidth="32" tileheight="32" tilecount="16" columns="4">
  <image source="stage.flags.png" width="128" height="128"/>
  <tile id="0"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="1"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="2"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="3"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="4"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="5"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="6"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="7"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="false"/></properties></tile>
  <tile id="8"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="9"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="10"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="11"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="false"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="12"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="13"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="false"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="14"><properties><property name="collision" type="bool" value="false"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="true"/></properties></tile>
  <tile id="15"><properties><property name="collision" type="bool" value="true"/><property name="wallEast" type="bool" value="true"/><property name="wallSouth" type="bool" value="true"/><property name="priority" type="bool" value="true"/></properties></tile>
 </tileset>
)";

constexpr std::string_view TmxCsvLayers = R"( <layer id="1" name="background" width="3" height="2">
  <data encoding="csv">
2,3,0,
0,0,2
</data>
 </layer>
 <layer id="2" name="layer" width="3" height="2">
  <data encoding="csv">
258,0,259,
0,258,0
</data>
 </layer>
 <layer id="3" name="flags" width="3" height="2" visible="0">
  <data encoding="csv">
514,515,517,
0,521,528
</data>
 </layer>
</map>
)";

// '@' marks where a base64 payload stands.
constexpr std::string_view TmxZlibLayers = R"( <layer id="1" name="background" width="3" height="2">
  <data encoding="base64" compression="zlib">
   @
  </data>
 </layer>
 <layer id="2" name="layer" width="3" height="2">
  <data encoding="base64" compression="zlib">
   @
  </data>
 </layer>
 <layer id="3" name="flags" width="3" height="2" visible="0">
  <data encoding="base64" compression="zlib">
   @
  </data>
 </layer>
</map>
)";

constexpr std::string_view TmjHead =
    R"({"type":"map","version":"1.8","orientation":"orthogonal","renderorder":"right-down",
 "width":3,"height":2,"tilewidth":32,"tileheight":32,"infinite":false,"nextlayerid":4,"nextobjectid":1,
 "properties":[{"name":"kelvorVersion","type":"string","value":"1.51"}],
 "tilesets":[
  {"firstgid":1,"name":"background","tilewidth":32,"tileheight":32,"tilecount":256,"columns":16,
   "image":"stage.background.png","imagewidth":512,"imageheight":512,"margin":0,"spacing":0,
   "tiles":[
   {"id":1,"properties":[{"name":"collision","type":"bool","value":true}]},
   {"id":2,"properties":[{"name":"collision","type":"bool","value":false}]},
   {"id":5,"properties":[{"name":"collision","type":"bool","value":true}]}]},
  {"firstgid":257,"name":"layer","tilewidth":32,"tileheight":32,"tilecount":256,"columns":16,
   "image":"stage.layer.png","imagewidth":512,"imageheight":512,"margin":0,"spacing":0,
   "tiles":[
   {"id":1,"properties":[{"name":"collision","type":"bool","value":true},{"name":"priority","type":"bool","value":true}]},
   {"id":2,"properties":[{"name":"collision","type":"bool","value":false},{"name":"priority","type":"bool","value":true}]}]},
  {"firstgid":513,"name":"flags","tilewidth":32,"tileheight":32,"tilecount":16,"columns":4,
   "image":"stage.flags.png","imagewidth":128,"imageheight":128,"margin":0,"spacing":0,
   "tiles":[
   {"id":0,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":false}]},
   {"id":1,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":false}]},
   {"id":2,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":false}]},
   {"id":3,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":false}]},
   {"id":4,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":false}]},
   {"id":5,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":false}]},
   {"id":6,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":false}]},
   {"id":7,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":false}]},
   {"id":8,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":true}]},
   {"id":9,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":true}]},
   {"id":10,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":true}]},
   {"id":11,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":false},{"name":"priority","type":"bool","value":true}]},
   {"id":12,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":true}]},
   {"id":13,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":false},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":true}]},
   {"id":14,"properties":[{"name":"collision","type":"bool","value":false},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":true}]},
   {"id":15,"properties":[{"name":"collision","type":"bool","value":true},{"name":"wallEast","type":"bool","value":true},{"name":"wallSouth","type":"bool","value":true},{"name":"priority","type":"bool","value":true}]}]}],
)";

constexpr std::string_view TmjCsvLayers = R"( "layers":[
  {"type":"tilelayer","id":1,"name":"background","x":0,"y":0,"width":3,"height":2,
   "opacity":1,"visible":true,"data":[
2,3,0,
0,0,2
]},
  {"type":"tilelayer","id":2,"name":"layer","x":0,"y":0,"width":3,"height":2,
   "opacity":1,"visible":true,"data":[
258,0,259,
0,258,0
]},
  {"type":"tilelayer","id":3,"name":"flags","x":0,"y":0,"width":3,"height":2,
   "opacity":1,"visible":false,"data":[
514,515,517,
0,521,528
]}]}
)";

constexpr std::string_view TmjZlibLayers = R"( "layers":[
  {"type":"tilelayer","id":1,"name":"background","x":0,"y":0,"width":3,"height":2,
   "opacity":1,"visible":true,"encoding":"base64","compression":"zlib","data":"@"},
  {"type":"tilelayer","id":2,"name":"layer","x":0,"y":0,"width":3,"height":2,
   "opacity":1,"visible":true,"encoding":"base64","compression":"zlib","data":"@"},
  {"type":"tilelayer","id":3,"name":"flags","x":0,"y":0,"width":3,"height":2,
   "opacity":1,"visible":false,"encoding":"base64","compression":"zlib","data":"@"}]}
)";

// The three layers' gids as 32-bit little-endian values.
const std::vector<std::vector<uint8_t>> LayerBytes = {
    {2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0},
    {2, 1, 0, 0, 0, 0, 0, 0, 3, 1, 0, 0, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0},
    {2, 2, 0, 0, 3, 2, 0, 0, 5, 2, 0, 0, 0, 0, 0, 0, 9, 2, 0, 0, 0x10, 2, 0, 0},
};

std::vector<uint8_t> FromBase64(std::string_view text) {
  static constexpr std::string_view Digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int held = 0;
  for (const char c : text) {
    if (c == '=') break;
    bits = (bits << 6) | static_cast<uint32_t>(Digits.find(c));
    held += 6;
    if (held >= 8) {
      held -= 8;
      bytes.push_back(static_cast<uint8_t>(bits >> held));
    }
  }
  return bytes;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& packed) {
  std::vector<uint8_t> bytes(1024);
  uLongf size = bytes.size();
  if (uncompress(bytes.data(), &size, packed.data(), packed.size()) != Z_OK) return {};
  bytes.resize(size);
  return bytes;
}

// `text` must read as `expected`, each '@' standing for a run of base64;
// the runs found there come back inflated.
std::vector<std::vector<uint8_t>> MatchWithPayloads(std::string_view text,
                                                    std::string_view expected) {
  std::vector<std::vector<uint8_t>> payloads;
  size_t at = 0;
  size_t from = 0;
  for (size_t marker = expected.find('@'); marker != std::string_view::npos;
       marker = expected.find('@', from)) {
    const std::string_view part = expected.substr(from, marker - from);
    EXPECT_EQ(text.substr(at, part.size()), part);
    at += part.size();
    const size_t end = text.find_first_not_of(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=", at);
    payloads.push_back(Inflate(FromBase64(text.substr(at, end - at))));
    at = end;
    from = marker + 1;
  }
  EXPECT_EQ(text.substr(at), expected.substr(from));
  return payloads;
}

TEST(EngineMapText, BothFormatsAndEncodingsAsWrittenByHand) {
  const MapDocument doc = SmallMap();
  const EngineMapImages images = EngineMapImageNames("/maps/stage.tmx");
  struct Case {
    EngineMapFormat format;
    EngineMapEncoding encoding;
    std::string expected;
  };
  const Case cases[] = {
      {EngineMapFormat::Tmx, EngineMapEncoding::Csv,
       std::string(TmxHead) + std::string(TmxCsvLayers)},
      {EngineMapFormat::Tmx, EngineMapEncoding::Zlib,
       std::string(TmxHead) + std::string(TmxZlibLayers)},
      {EngineMapFormat::Tmj, EngineMapEncoding::Csv,
       std::string(TmjHead) + std::string(TmjCsvLayers)},
      {EngineMapFormat::Tmj, EngineMapEncoding::Zlib,
       std::string(TmjHead) + std::string(TmjZlibLayers)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.substr(0, 1) + (c.encoding == EngineMapEncoding::Zlib ? " zlib" : ""));
    VectorByteSink sink;
    ASSERT_TRUE(SerializeEngineMap(sink, doc, c.format, c.encoding, images));
    const std::string text(sink.bytes.begin(), sink.bytes.end());
    const std::vector<std::vector<uint8_t>> payloads = MatchWithPayloads(text, c.expected);
    if (c.encoding == EngineMapEncoding::Zlib) {
      EXPECT_EQ(payloads, LayerBytes);
    }
  }
}

TEST(EngineMapText, PictureNamesFollowTheMapAndMustFitTheText) {
  struct Names {
    std::string map;
    std::string background;
  };
  const Names names[] = {
      {"/maps/stage.tmx", "stage.background.png"},
      {"level.v2.tmj", "level.v2.background.png"},
      {"maps.d/stage", "stage.background.png"},
      {"/maps/.tmx", ".tmx.background.png"},
  };
  for (const Names& n : names) {
    const EngineMapImages images = EngineMapImageNames(n.map);
    EXPECT_EQ(images.background, n.background) << n.map;
    const std::string stem = n.background.substr(0, n.background.size() - 15);
    EXPECT_EQ(images.layer, stem + ".layer.png");
    EXPECT_EQ(images.flags, stem + ".flags.png");
  }

  // Names the map cannot carry as they are: not UTF-8, or control characters.
  for (const char* fits : {"stage", "日本語 & <\"マップ\">", "a\x7f"}) {
    EXPECT_TRUE(FitsEngineMapText(fits)) << fits;
  }
  for (const char* unfit :
       {"tab\there", "new\nline", "\xff", "\xc0\xae", "\xed\xa0\x80", "\xef\xbf\xbe"}) {
    EXPECT_FALSE(FitsEngineMapText(unfit)) << unfit;
  }
}

// The four files of a map as the folder holds them: name and bytes.
std::vector<std::pair<std::string, std::vector<uint8_t>>> FolderContents(
    const std::filesystem::path& folder) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files.emplace_back(entry.path().filename().string(),
                       test::ReadFileBytes(entry.path().string()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(EngineMapFiles, WrittenAsOneSetOrNotAtAll) {
  const MapDocument doc = SmallMap();
  const CanvasFactory canvas = [](PixelBuffer& target) {
    return std::make_unique<test::RecordingCanvas>(target.width, target.height);
  };
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  const std::vector<std::string> names = {"stage.background.png", "stage.flags.png",
                                          "stage.layer.png", "stage.tmx"};
  struct Case {
    size_t failAt;  // picture whose encoding fails
    EngineMapStatus status;
  };
  const Case cases[] = {
      {0, EngineMapStatus::CannotWrite},
      {1, EngineMapStatus::CannotWrite},
      {2, EngineMapStatus::CannotWrite},
      {SIZE_MAX, EngineMapStatus::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    test::TempDir dir;
    for (const std::string& name : names) test::WriteFileBytes(dir.File(name), old);
    test::FakeImageEncoder encoder;
    encoder.writeFiles = true;
    encoder.failAt = c.failAt;
    test::RecordingMessages messages;
    EXPECT_EQ(WriteEngineMap(dir.File("stage.tmx"), doc, EngineMapFormat::Tmx,
                             EngineMapEncoding::Csv, encoder, canvas, messages),
              c.status);
    const auto files = FolderContents(dir.path());
    ASSERT_EQ(files.size(), names.size());  // no temporary file stays behind
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(files[i].first, names[i]);
      if (c.status != EngineMapStatus::Ok) {
        EXPECT_EQ(files[i].second, old) << names[i];
      }
    }
    if (c.status != EngineMapStatus::Ok) continue;
    EXPECT_EQ(files[0].second.size(), size_t{512} * 512 * 4);
    EXPECT_EQ(files[1].second.size(), size_t{128} * 128 * 4);
    EXPECT_EQ(files[2].second.size(), size_t{512} * 512 * 4);
    EXPECT_EQ(files[3].second.size(), TmxHead.size() + TmxCsvLayers.size());
    // PNG holds straight alpha; the encoder divides the premultiplied colours.
    for (const auto& written : encoder.written) EXPECT_EQ(written.alpha, PixelAlpha::Premultiplied);
  }

  // Refused before anything is written.
  test::TempDir dir;
  test::FakeImageEncoder encoder;
  encoder.writeFiles = true;
  test::RecordingMessages messages;
  MapDocument empty;
  EXPECT_EQ(WriteEngineMap(dir.File("a.tmx"), empty, EngineMapFormat::Tmx, EngineMapEncoding::Csv,
                           encoder, canvas, messages),
            EngineMapStatus::NoMap);
  EXPECT_EQ(WriteEngineMap(dir.File("a\x01.tmx"), doc, EngineMapFormat::Tmx, EngineMapEncoding::Csv,
                           encoder, canvas, messages),
            EngineMapStatus::UnfitName);
  EXPECT_EQ(WriteEngineMap(dir.File("no/folder/a.tmj"), doc, EngineMapFormat::Tmj,
                           EngineMapEncoding::Csv, encoder, canvas, messages),
            EngineMapStatus::CannotCreate);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(encoder.written.empty());
}

}  // namespace
}  // namespace kelvor
