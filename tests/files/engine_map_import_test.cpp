#include "files/engine_map_import.h"

#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "document/chip_sheet_loader.h"
#include "files/open_document.h"
#include "support/fake_image_decoder.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;
using test::FakeImageDecoder;
using test::RecordingMessages;
using test::SolidImage;
using test::TempDir;
using test::WriteFileText;

// The 3 x 2 map most tests read: tileset "tiles" (2 x 2 tiles in
// tiles.png), layer "ground" and layer "over".
const std::vector<uint32_t> Ground = {1, 2, 0, 4, 0, 3};
const std::vector<uint32_t> Over = {0, 0, 2, 0, 0, 0};
// Tiles 1..4 are chips (0,0) (1,0) (0,1) (1,1), registered in gid order.
const std::vector<MapCell> Expected = {0x00000001, 0x00000002, 0x00010000,
                                       0x00000004, 0x00000000, 0x00000003};

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t b0 = bytes[i], b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0,
                   b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    const uint32_t bits = (b0 << 16) | (b1 << 8) | b2;
    out += digits[bits >> 18];
    out += digits[(bits >> 12) & 63];
    out += i + 1 < bytes.size() ? digits[(bits >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? digits[bits & 63] : '=';
  }
  return out;
}

std::vector<uint8_t> LittleEndian(const std::vector<uint32_t>& gids) {
  std::vector<uint8_t> bytes;
  for (const uint32_t gid : gids) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(gid >> shift));
  }
  return bytes;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw, int windowBits) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(raw.size() + 128);
  stream.next_in = const_cast<Bytef*>(raw.data());
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(out.size() - stream.avail_out);
  deflateEnd(&stream);
  return out;
}

std::vector<uint8_t> Zstd(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out(ZSTD_compressBound(raw.size()));
  out.resize(ZSTD_compress(out.data(), out.size(), raw.data(), raw.size(), 3));
  return out;
}

// A layer's data text and its TMX attributes, per encoding.
struct Encoded {
  std::string attributes;
  std::string text;
};

Encoded Encode(const std::vector<uint32_t>& gids, std::string_view encoding) {
  if (encoding == "csv") {
    std::string text = "\n";
    for (size_t i = 0; i < gids.size(); ++i)
      text += std::to_string(gids[i]) + (i + 1 < gids.size() ? "," : "\n");
    return {R"( encoding="csv")", text};
  }
  if (encoding == "xml") {
    std::string text;
    for (const uint32_t gid : gids) text += "<tile gid=\"" + std::to_string(gid) + "\"/>";
    return {"", text};
  }
  const std::vector<uint8_t> raw = LittleEndian(gids);
  if (encoding == "base64") return {R"( encoding="base64")", Base64(raw)};
  if (encoding == "zlib")
    return {R"( encoding="base64" compression="zlib")", Base64(Deflate(raw, 15))};
  if (encoding == "gzip") {
    return {R"( encoding="base64" compression="gzip")", Base64(Deflate(raw, 15 + 16))};
  }
  return {R"( encoding="base64" compression="zstd")", Base64(Zstd(raw))};
}

constexpr std::string_view TilesTileset =
    R"(<tileset firstgid="1" name="tiles" tilewidth="32" tileheight="32" tilecount="4" columns="2">
  <image source="tiles.png" width="64" height="64"/>
 </tileset>)";

std::string Tmx(std::string_view encoding, std::string_view tileset = TilesTileset,
                std::string_view extra = "") {
  const Encoded ground = Encode(Ground, encoding);
  const Encoded over = Encode(Over, encoding);
  return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.10" orientation="orthogonal" width="3" height="2" tilewidth="32" tileheight="32" infinite="0">
 )") + std::string(tileset) +
         "\n <layer id=\"1\" name=\"ground\" width=\"3\" height=\"2\"><data" + ground.attributes +
         ">" + ground.text + "</data></layer>\n" + std::string(extra) +
         " <group name=\"g\"><layer id=\"2\" name=\"over\" width=\"3\" height=\"2\" visible=\"0\" "
         "opacity=\"0.5\"><data" +
         over.attributes + ">" + over.text + "</data></layer></group>\n</map>\n";
}

std::string JsonArray(const std::vector<uint32_t>& gids) {
  std::string text = "[";
  for (size_t i = 0; i < gids.size(); ++i) {
    if (i != 0) text += ',';
    text += std::to_string(gids[i]);
  }
  return text + "]";
}

class EngineMapImportTest : public ::testing::Test {
 protected:
  EngineMapImportTest() {
    fs::create_directories(mapFolder());
    fs::create_directories(chipFolder());
    WriteFileText(MapFile("tiles.png"), "tiles picture");
    decoder.images["tiles.png"] = SolidImage(64, 64, 10, 20, 30);
  }
  fs::path mapFolder() const { return dir.path() / "maps"; }
  fs::path chipFolder() const { return dir.path() / "chips"; }
  std::string MapFile(std::string_view name) const { return (mapFolder() / name).string(); }

  EngineRefusal Read(std::string_view name, std::string_view text) {
    WriteFileText(MapFile(name), text);
    return ReadEngineMap(MapFile(name), chipFolder().string(), decoder, import);
  }

  void ExpectTilesMap() const {
    const StagedDocument& doc = import.document;
    ASSERT_TRUE(doc.grid.has_value());
    EXPECT_EQ(doc.grid->width, 3);
    EXPECT_EQ(doc.grid->height, 2);
    EXPECT_EQ(*doc.grid->cells, Expected);
    EXPECT_EQ((*doc.fileNames)[0], "tiles.png");
    const auto& background = *doc.tables[0].entries;
    EXPECT_EQ(background[1], (ChipEntry{1, 0, 0, 0, 0}));
    EXPECT_EQ(background[3], (ChipEntry{1, 0, 0, 1, 0}));
    EXPECT_EQ(background[4], (ChipEntry{1, 0, 1, 1, 0}));
    EXPECT_EQ((*doc.tables[1].entries)[1], (ChipEntry{1, 0, 1, 0, 0}));
    EXPECT_EQ(doc.tables[0].count, 5);
    ASSERT_EQ(import.copies.size(), 1u);
    EXPECT_EQ(import.copies[0].name, "tiles.png");
  }

  TempDir dir;
  FakeImageDecoder decoder;
  EngineMapImport import;
};

TEST_F(EngineMapImportTest, EveryLayerEncodingGivesTheSameCells) {
  for (const char* encoding : {"csv", "xml", "base64", "zlib", "gzip", "zstd"}) {
    SCOPED_TRACE(encoding);
    EXPECT_FALSE(Read("stage.tmx", Tmx(encoding)));
    ExpectTilesMap();
  }
  // TMJ: plain numbers, and each compression of base64.
  const std::string tileset =
      R"({"firstgid":1,"name":"tiles","tilewidth":32,"tileheight":32,"tilecount":4,"columns":2,"image":"tiles.png","imagewidth":64,"imageheight":64})";
  const auto tmj = [&](const std::string& ground, const std::string& over,
                       const std::string& encoding) {
    return R"({"type":"map","orientation":"orthogonal","width":3,"height":2,"tilewidth":32,"tileheight":32,"infinite":false,"tilesets":[)" +
           tileset + R"(],"layers":[{"type":"tilelayer","name":"ground","width":3,"height":2,)" +
           encoding + R"("data":)" + ground +
           R"(},{"type":"group","layers":[{"type":"tilelayer","name":"over",)" + encoding +
           R"("data":)" + over + "}]}]}";
  };
  EXPECT_FALSE(Read("stage.tmj", tmj(JsonArray(Ground), JsonArray(Over), "")));
  ExpectTilesMap();
  for (const char* compression : {"zlib", "gzip", "zstd"}) {
    SCOPED_TRACE(compression);
    const Encoded ground = Encode(Ground, compression);
    const Encoded over = Encode(Over, compression);
    const std::string encoding =
        std::string(R"("encoding":"base64","compression":")") + compression + "\",";
    EXPECT_FALSE(
        Read("stage.json", tmj("\"" + ground.text + "\"", "\"" + over.text + "\"", encoding)));
    ExpectTilesMap();
  }
}

// Layer data that is damaged, or holds more or fewer gids than the layer,
// is refused in every encoding; lenient separators are still read.
TEST(LayerDataTest, DataThatDoesNotHoldExactlyTheLayerIsRefused) {
  const std::vector<uint8_t> three = LittleEndian({1, 2, 3});
  std::vector<uint8_t> cut = Deflate(three, 15);
  cut.resize(cut.size() - 5);
  std::vector<uint8_t> zstdCut = Zstd(three);
  zstdCut.resize(zstdCut.size() - 2);
  struct Case {
    const char* name;
    std::string data, encoding, compression;
    size_t expected;
    std::vector<uint32_t> gids;  // empty: refused
  };
  const std::vector<Case> cases = {
      {"plain", "1,2,3", "csv", "", 3, {1, 2, 3}},
      {"rows and spaces", "\n 1 , 2,\r\n\t3 \n", "csv", "", 3, {1, 2, 3}},
      {"spaces alone", "1 2  3", "csv", "", 3, {1, 2, 3}},
      {"trailing comma", "7,8,", "csv", "", 2, {7, 8}},
      {"long numbers", "12345678,4294967295,0000000009", "csv", "", 3, {12345678, UINT32_MAX, 9}},
      {"too big a number", "4294967296", "csv", "", 1, {}},
      {"empty field", "1,,2", "csv", "", 2, {}},
      {"a sign", "1,-2", "csv", "", 2, {}},
      {"too few", "1,2", "csv", "", 3, {}},
      {"too many", "1,2,3,4", "csv", "", 3, {}},
      {"a claim the text cannot hold", "1", "csv", "", 16384 * 16384, {}},
      {"compressed csv", "1", "csv", "zlib", 1, {}},
      {"base64 with a stray byte", Base64(three) + "!", "base64", "", 3, {}},
      {"base64 one gid short", Base64(LittleEndian({1, 2})), "base64", "", 3, {}},
      {"zlib cut short", Base64(cut), "base64", "zlib", 3, {}},
      {"zlib of more gids",
       Base64(Deflate(LittleEndian({1, 2, 3, 4}), 15)),
       "base64",
       "zlib",
       3,
       {}},
      {"zlib claiming a huge layer",
       Base64(Deflate(three, 15)),
       "base64",
       "zlib",
       16384 * 16384,
       {}},
      {"gzip", Base64(Deflate(three, 15 + 16)), "base64", "gzip", 3, {1, 2, 3}},
      {"zlib read as gzip", Base64(Deflate(three, 15)), "base64", "gzip", 3, {}},
      {"zstd cut short", Base64(zstdCut), "base64", "zstd", 3, {}},
      {"unknown compression", Base64(three), "base64", "lz4", 3, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GidList gids;
    const bool read = DecodeLayerData(c.data, c.encoding, c.compression, c.expected, gids);
    EXPECT_EQ(read, !c.gids.empty());
    if (read) {
      EXPECT_EQ(std::vector<uint32_t>(gids.begin(), gids.end()), c.gids);
    }
  }
}

// A long CSV text is read in pieces on several threads: every number lands
// in its place, also where spaces stand for some commas.
TEST(LayerDataTest, LongCsvTextsKeepEveryNumberInPlace) {
  for (const bool someSpaces : {false, true}) {
    SCOPED_TRACE(someSpaces);
    std::vector<uint32_t> expected;
    std::string text = "\n";
    for (uint32_t i = 0; i < 3'000'000; ++i) {
      const uint32_t gid = (i * 2654435761u) >> (i % 29);
      expected.push_back(gid);
      text += std::to_string(gid);
      text += someSpaces && i % 1'000'003 == 7 ? " " : i % 64 == 63 ? ",\n" : ",";
    }
    GidList gids;
    std::vector<LayerDataJob> jobs = {{text, "csv", "", expected.size(), &gids, {}}};
    ASSERT_TRUE(DecodeLayerDataJobs(jobs, 2));
    ASSERT_EQ(gids.size(), expected.size());
    EXPECT_TRUE(std::equal(gids.begin(), gids.end(), expected.begin()));
  }
}

TEST_F(EngineMapImportTest, ExternalTilesetsResolveBesideTheirFile) {
  fs::create_directories(mapFolder() / "sets");
  fs::rename(MapFile("tiles.png"), mapFolder() / "sets" / "tiles.png");
  WriteFileText(
      MapFile("sets/tiles.tsx"),
      R"(<?xml version="1.0"?><tileset name="tiles" tilewidth="32" tileheight="32" tilecount="4" columns="2"><image source="tiles.png" width="64" height="64"/></tileset>)");
  WriteFileText(
      MapFile("sets/tiles.tsj"),
      R"({"type":"tileset","name":"tiles","tilewidth":32,"tileheight":32,"tilecount":4,"columns":2,"image":"tiles.png"})");
  for (const char* source : {"sets/tiles.tsx", "sets/tiles.tsj"}) {
    SCOPED_TRACE(source);
    EXPECT_FALSE(Read("stage.tmx", Tmx("csv", std::string(R"(<tileset firstgid="1" source=")") +
                                                  source + "\"/>")));
    ExpectTilesMap();
    EXPECT_EQ(import.copies[0].from, (mapFolder() / "sets" / "tiles.png").string());
  }
}

TEST_F(EngineMapImportTest, InfiniteChunksArePlacedFromTheirBoundingBox) {
  // Chunks at (-2, -1) and (1, 0), 1 x 1 and 2 x 1: a 5 x 2 map.
  const std::string tmx =
      std::string(
          R"(<map orientation="orthogonal" width="1" height="1" tilewidth="32" tileheight="32" infinite="1">
 )") + std::string(TilesTileset) +
      R"(
 <layer name="a"><data encoding="csv"><chunk x="-2" y="-1" width="1" height="1">3</chunk><chunk x="1" y="0" width="2" height="1">1,4</chunk></data></layer>
</map>)";
  EXPECT_FALSE(Read("inf.tmx", tmx));
  ASSERT_TRUE(import.document.grid.has_value());
  EXPECT_EQ(import.document.grid->width, 5);
  EXPECT_EQ(import.document.grid->height, 2);
  // Registered in gid order: 1 -> slot 1, 3 -> slot 2, 4 -> slot 3.
  EXPECT_EQ(*import.document.grid->cells, (std::vector<MapCell>{2, 0, 0, 0, 0, 0, 0, 0, 1, 3}));
  const std::string tmj =
      R"({"type":"map","orientation":"orthogonal","tilewidth":32,"tileheight":32,"infinite":true,"width":0,"height":0,
  "tilesets":[{"firstgid":1,"name":"tiles","tilewidth":32,"tileheight":32,"tilecount":4,"columns":2,"image":"tiles.png"}],
  "layers":[{"type":"tilelayer","name":"a","chunks":[{"x":-2,"y":-1,"width":1,"height":1,"data":[3]},{"x":1,"y":0,"width":2,"height":1,"data":[1,4]}]},
            {"type":"objectgroup","name":"things","objects":[]}]})";
  EXPECT_FALSE(Read("inf.tmj", tmj));
  EXPECT_EQ(*import.document.grid->cells, (std::vector<MapCell>{2, 0, 0, 0, 0, 0, 0, 0, 1, 3}));
  EXPECT_TRUE(import.ignoredLayers);
}

TEST_F(EngineMapImportTest, OurNamesFlagsAndKelvorChipsWin) {
  // "layer" comes first but is named: it takes the layer level. The flags
  // layer uses a 16-tile set of the four properties; tile 1 of "tiles"
  // names a chip file of the folder, which is used instead of the image.
  WriteFileText((chipFolder() / "stone.png").string(), "stone");
  std::string flags =
      R"(<tileset firstgid="100" name="flags" tilewidth="32" tileheight="32" tilecount="16" columns="4"><image source="flags.png" width="128" height="128"/>)";
  for (int f = 0; f < 16; ++f) {
    flags += "<tile id=\"" + std::to_string(f) + "\"><properties>";
    const char* names[] = {"collision", "wallEast", "wallSouth", "priority"};
    for (int b = 0; b < 4; ++b) {
      flags += std::string("<property name=\"") + names[b] + "\" type=\"bool\" value=\"" +
               ((f >> b) & 1 ? "true" : "false") + "\"/>";
    }
    flags += "</properties></tile>";
  }
  flags += "</tileset>";
  const std::string tmx =
      std::string(
          R"(<map orientation="orthogonal" width="2" height="1" tilewidth="32" tileheight="32">
 <tileset firstgid="1" name="tiles" tilewidth="32" tileheight="32" tilecount="4" columns="2"><image source="tiles.png"/>
  <tile id="0"><properties><property name="kelvorChip" value="stone.png:3:7"/><property name="collision" type="bool" value="true"/><property name="priority" type="bool" value="true"/></properties></tile>
 </tileset>)") +
      flags + R"(
 <layer name="layer"><data encoding="csv">1,0</data></layer>
 <layer name="background"><data encoding="csv">0,2</data></layer>
 <layer name="other"><data encoding="csv">115,106</data></layer>
</map>)";
  EXPECT_FALSE(Read("ours.tmx", tmx));
  const StagedDocument& doc = import.document;
  // Flags tile 15: all four; tile 6: walls east and south.
  EXPECT_EQ(*doc.grid->cells, (std::vector<MapCell>{0x00011700, 0x00000601}));
  EXPECT_EQ((*doc.fileNames)[0], "tiles.png");
  EXPECT_EQ((*doc.fileNames)[1], "stone.png");
  EXPECT_EQ((*doc.tables[1].entries)[1],
            (ChipEntry{1, 1, 3, 7, EntryFlagCollision | EntryFlagPriority}));
  EXPECT_EQ((*doc.tables[0].entries)[1], (ChipEntry{1, 0, 1, 0, 0}));
  ASSERT_EQ(import.copies.size(), 1u);
}

struct RefusalCase {
  const char* name;
  std::string map;
  EngineRefusalCode code;
  std::string detail;
};

TEST_F(EngineMapImportTest, RefusalsNameTheirReason) {
  const auto map = [](std::string attributes, std::string body) {
    return "<map orientation=\"orthogonal\" tilewidth=\"32\" tileheight=\"32\" " + attributes +
           ">" + std::string(TilesTileset) + body + "</map>";
  };
  const auto layer = [](std::string name, std::string csv) {
    return "<layer name=\"" + name + "\"><data encoding=\"csv\">" + csv + "</data></layer>";
  };
  const std::vector<RefusalCase> cases = {
      {"isometric",
       R"(<map orientation="isometric" width="1" height="1" tilewidth="32" tileheight="32"/>)",
       EngineRefusalCode::NotOrthogonal, "isometric"},
      {"16 pixel tiles",
       R"(<map orientation="orthogonal" width="1" height="1" tilewidth="16" tileheight="16"/>)",
       EngineRefusalCode::TileSize, "16 x 16"},
      {"three layers",
       map("width=\"1\" height=\"1\"", layer("a", "1") + layer("b", "1") + layer("c", "1")),
       EngineRefusalCode::TooManyLayers, "a\nb\nc"},
      {"too wide", map("width=\"16385\" height=\"1\"", ""), EngineRefusalCode::TooLarge,
       "16385 x 1"},
      {"chunks too far apart",
       map("width=\"1\" height=\"1\" infinite=\"1\"",
           "<layer name=\"a\"><data encoding=\"csv\"><chunk x=\"-1\" y=\"0\" width=\"1\" "
           "height=\"1\">1</chunk>"
           "<chunk x=\"16384\" y=\"0\" width=\"1\" height=\"1\">1</chunk></data></layer>"),
       EngineRefusalCode::TooLarge, "16386 x 1"},
      {"flipped", map("width=\"2\" height=\"2\"", layer("a", "1,2,3,2147483649")),
       EngineRefusalCode::Flipped, "(1, 1)"},
      {"image missing",
       R"(<map orientation="orthogonal" width="1" height="1" tilewidth="32" tileheight="32"><tileset firstgid="1" name="t" tilewidth="32" tileheight="32" tilecount="1" columns="1"><image source="gone.png"/></tileset><layer name="a"><data encoding="csv">1</data></layer></map>)",
       EngineRefusalCode::ImageUnreadable, ""},
      {"image named by a folder",
       R"(<map orientation="orthogonal" width="1" height="1" tilewidth="32" tileheight="32"><tileset firstgid="1" name="t" tilewidth="32" tileheight="32" tilecount="4" columns="2"><image source="tiles.png/.."/></tileset><layer name="a"><data encoding="csv">1</data></layer></map>)",
       EngineRefusalCode::ImageUnreadable, ""},
      {"spacing of 2",
       R"(<map orientation="orthogonal" width="1" height="1" tilewidth="32" tileheight="32"><tileset firstgid="1" name="t" tilewidth="32" tileheight="32" spacing="2" tilecount="4" columns="2"><image source="tiles.png"/></tileset><layer name="a"><data encoding="csv">1</data></layer></map>)",
       EngineRefusalCode::NotWholeChips, ""},
      {"gid beyond every tileset", map("width=\"1\" height=\"1\"", layer("a", "9")),
       EngineRefusalCode::Damaged, ""},
      {"too few cells", map("width=\"2\" height=\"1\"", layer("a", "1")),
       EngineRefusalCode::Damaged, ""},
      {"not a map", "<tileset/>", EngineRefusalCode::Damaged, ""},
      {"empty infinite map", map("width=\"0\" height=\"0\" infinite=\"1\"", ""),
       EngineRefusalCode::Empty, ""},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    const EngineRefusal refusal = Read("bad.tmx", c.map);
    EXPECT_EQ(refusal.code, c.code);
    if (!c.detail.empty()) {
      EXPECT_EQ(refusal.detail, c.detail);
    }
  }
  // 256 distinct chips on one level: the 256th finds no slot.
  decoder.images["big.png"] = SolidImage(32 * 16, 32 * 16);
  WriteFileText(MapFile("big.png"), "big");
  std::string csv;
  for (int i = 1; i <= 256; ++i) csv += std::to_string(i) + (i < 256 ? "," : "");
  const EngineRefusal full = Read(
      "full.tmx",
      R"(<map orientation="orthogonal" width="256" height="1" tilewidth="32" tileheight="32"><tileset firstgid="1" name="t" tilewidth="32" tileheight="32" tilecount="256" columns="16"><image source="big.png"/></tileset><layer name="a"><data encoding="csv">)" +
          csv + "</data></layer></map>");
  EXPECT_EQ(full.code, EngineRefusalCode::TooManyChips);
  EXPECT_EQ(full.detail, "background");
}

TEST_F(EngineMapImportTest, AnImageOfTheSameNameIsUsedOnlyWhenItIsTheSameFile) {
  const std::string target = (chipFolder() / "tiles.png").string();
  WriteFileText(target, "tiles picture");
  EXPECT_FALSE(Read("stage.tmx", Tmx("csv")));
  EXPECT_TRUE(import.copies.empty());

  WriteFileText(target, "another picture");
  const EngineRefusal clash = Read("stage.tmx", Tmx("csv"));
  EXPECT_EQ(clash.code, EngineRefusalCode::NameClash);
  EXPECT_EQ(clash.detail, MapFile("tiles.png") + "\n" + target);
  EXPECT_EQ(test::ReadFileBytes(target),
            (std::vector<uint8_t>{'a', 'n', 'o', 't', 'h', 'e', 'r', ' ', 'p', 'i', 'c', 't', 'u',
                                  'r', 'e'}));
}

class OpenEngineMapTest : public EngineMapImportTest {
 protected:
  OpenEngineMapTest() {
    InitializeWorkspace(ws, dir.path().string(), decoder, chipFolder().string());
    WriteFileText(MapFile("stage.tmx"), Tmx("zlib"));
  }
  bool Open(const std::string& path) {
    OpenRefresh refresh;
    return OpenMapFile(ws, path, decoder, messages, refresh);
  }
  Workspace ws;
  RecordingMessages messages;
};

TEST_F(OpenEngineMapTest, AsksOnceThenCopiesAndOpensBesideTheMap) {
  messages.answer = false;
  EXPECT_FALSE(Open(MapFile("stage.tmx")));
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].text, "1 個の画像をﾁｯﾌﾟｾｯﾄ ﾌｫﾙﾀﾞにｺﾋﾟｰします");
  EXPECT_FALSE(ws.document.grid.Exists());
  EXPECT_FALSE(fs::exists(chipFolder() / "tiles.png"));
  EXPECT_EQ(std::distance(fs::directory_iterator(chipFolder()), fs::directory_iterator()), 0);

  messages.answer = true;
  EXPECT_TRUE(Open(MapFile("stage.tmx")));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(test::ReadFileBytes((chipFolder() / "tiles.png").string()).size(), 13u);
  EXPECT_EQ(*ws.document.grid.cells, Expected);
  EXPECT_EQ(ws.document.documentPath, MapFile("stage.kv"));
  EXPECT_EQ(ws.sheets.FindExact("tiles.png"), ws.sheets.sheetCount - 1);
  // The atlas shows the chips at once.
  EXPECT_EQ(ws.document.tables[0].atlas.At(32, 0)[2], 30);
}

TEST_F(OpenEngineMapTest, ARefusedMapChangesNothing) {
  ASSERT_TRUE(Open(MapFile("stage.tmx")));
  const std::vector<MapCell> before = *ws.document.grid.cells;
  WriteFileText(
      MapFile("bad.tmj"),
      R"({"type":"map","orientation":"hexagonal","tilewidth":32,"tileheight":32,"layers":[]})");
  EXPECT_FALSE(Open(MapFile("bad.tmj")));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "正方向(orthogonal)以外のﾏｯﾌﾟは読み込めません\nhexagonal");
  EXPECT_EQ(*ws.document.grid.cells, before);
  EXPECT_EQ(ws.document.documentPath, MapFile("stage.kv"));
}

}  // namespace
}  // namespace kelvor
