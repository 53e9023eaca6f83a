#include <gtest/gtest.h>

#include <zlib.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QXmlStreamReader>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "files/binary_document.h"
#include "platform/bmp32.h"
#include "support/cli_runner.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

// A chip-set folder of two PNG sheets and a document using them: cell (0, 0)
// has red under a half-transparent blue layer chip, (1, 0) green, (1, 1) only
// the layer chip, (2, 1) a chip whose image is missing.
class CliExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.path() / "chips");
    QImage a(64, 32, QImage::Format_ARGB32);
    a.fill(qRgba(255, 0, 0, 255));
    for (int y = 0; y < 32; ++y) {
      for (int x = 32; x < 64; ++x) a.setPixel(x, y, qRgba(0, 0, 255, 128));
    }
    ASSERT_TRUE(a.save(QString::fromStdString(dir.File("chips/a.png")), "PNG"));
    QImage b(32, 32, QImage::Format_RGB32);
    b.fill(qRgb(0, 255, 0));
    ASSERT_TRUE(b.save(QString::fromStdString(dir.File("chips/B.png")), "PNG"));
    test::WriteFileText(dir.File("chips/notes.txt"), "not an image");

    MapDocument doc;
    doc.fileList.names[0] = "a.png";
    doc.fileList.names[1] = "b.png";  // the folder spells it B.png
    doc.fileList.names[2] = "gone.png";
    for (ChipTable& table : doc.tables) table.entries[0].used = 1;
    doc.tables[0].entries[1] = {1, 0, 0, 0, 0};
    doc.tables[0].entries[2] = {1, 1, 0, 0, 0};
    doc.tables[0].entries[3] = {1, 2, 0, 0, 0};
    doc.tables[1].entries[1] = {1, 0, 1, 0, 0};
    doc.tables[0].count = 4;
    doc.tables[1].count = 2;
    ASSERT_TRUE(doc.grid.Allocate(3, 2));
    doc.grid.At(0, 0) = 1 | (1u << 16);
    doc.grid.At(1, 0) = 2;
    doc.grid.At(1, 1) = 1u << 16;
    doc.grid.At(2, 1) = 3;
    ChipSheetTable noSheets;
    test::RecordingMessages messages;
    ASSERT_TRUE(WriteBinaryDocument(dir.File("doc.kv"), doc, noSheets, messages));
  }

  // Runs the tool as a build script would: no display, no platform plugin.
  int Run(const std::vector<std::string>& args) {
    test::CliRun run = test::RunCli(dir, args);
    stdoutText = std::move(run.out);
    stderrText = std::move(run.err);
    return run.status;
  }
  int Export(const std::string& out, const std::string& what, bool hideLayer = false) {
    std::vector<std::string> args = {"export", dir.File("doc.kv"), dir.File(out),    "--what",
                                     what,     "--chips",          dir.File("chips")};
    if (hideLayer) args.push_back("--hide-layer");
    return Run(args);
  }

  test::TempDir dir;
  std::string stdoutText;
  std::string stderrText;
};

TEST_F(CliExportTest, MapToPngComposesLayersAndWarnsOfMissingImages) {
  ASSERT_EQ(Export("map.png", "map"), 0) << stderrText;
  EXPECT_NE(stderrText.find("gone.png"), std::string::npos);
  const QImage map(QString::fromStdString(dir.File("map.png")), "PNG");
  ASSERT_EQ(map.width(), 96);
  ASSERT_EQ(map.height(), 64);
  const QImage straight = map.convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(straight.pixel(5, 5), qRgba(127, 0, 128, 255));  // blue at 128 over red
  EXPECT_EQ(straight.pixel(40, 5), qRgba(0, 255, 0, 255));
  EXPECT_EQ(straight.pixel(40, 40), qRgba(0, 0, 255, 128));
  EXPECT_EQ(qAlpha(straight.pixel(70, 40)), 0);  // missing image: nothing
  EXPECT_EQ(qAlpha(straight.pixel(5, 40)), 0);   // no chip

  ASSERT_EQ(Export("nolayer.png", "map", true), 0) << stderrText;
  const QImage noLayer(QString::fromStdString(dir.File("nolayer.png")), "PNG");
  EXPECT_EQ(noLayer.pixel(5, 5), qRgba(255, 0, 0, 255));
  EXPECT_EQ(qAlpha(noLayer.pixel(40, 40)), 0);
}

TEST_F(CliExportTest, MapToBmpKeepsTheAlpha) {
  ASSERT_EQ(Export("map.bmp", "map"), 0) << stderrText;
  const std::vector<uint8_t> bytes = test::ReadFileBytes(dir.File("map.bmp"));
  PixelBuffer image;
  ASSERT_TRUE(ReadBmp32(bytes.data(), bytes.size(), image));
  ASSERT_EQ(image.width, 96);
  const uint8_t* half = image.At(40, 40);
  EXPECT_EQ(std::vector<uint8_t>(half, half + 4), (std::vector<uint8_t>{255, 0, 0, 128}));
  EXPECT_EQ(image.At(70, 40)[3], 0);
  EXPECT_EQ(image.At(40, 5)[3], 255);
}

TEST_F(CliExportTest, ChipSetsExportAsAtlases) {
  ASSERT_EQ(Export("bg.png", "background"), 0) << stderrText;
  ASSERT_EQ(Export("layer.png", "layer"), 0) << stderrText;
  const QImage bg(QString::fromStdString(dir.File("bg.png")), "PNG");
  const QImage layer(QString::fromStdString(dir.File("layer.png")), "PNG");
  ASSERT_EQ(bg.size(), QSize(512, 512));
  EXPECT_EQ(bg.pixel(32, 0), qRgba(255, 0, 0, 255));
  EXPECT_EQ(bg.pixel(64, 31), qRgba(0, 255, 0, 255));
  EXPECT_EQ(qAlpha(bg.pixel(96, 0)), 0);
  EXPECT_EQ(qAlpha(bg.pixel(0, 0)), 0);
  // Bytes as stored: premultiplied blue 128 at alpha 128 reads back as such.
  EXPECT_EQ(layer.convertToFormat(QImage::Format_ARGB32).pixel(32, 0), qRgba(0, 0, 128, 128));
}

TEST_F(CliExportTest, RefusesBadRequestsWithoutWriting) {
  EXPECT_EQ(Export("out", "map"), 1);
  EXPECT_EQ(Export("out.gif", "map"), 1);
  EXPECT_EQ(Export("out.png", "everything"), 1);
  EXPECT_EQ(Export("out.png", "layer", true), 1);
  EXPECT_EQ(Run({"export", dir.File("doc.kv"), "--what", "map"}), 1);
  test::WriteFileText(dir.File("bad.kv"), "garbage");
  EXPECT_EQ(Run({"export", dir.File("bad.kv"), dir.File("out.png"), "--what", "map"}), 1);
  EXPECT_NE(stderrText.find("bad.kv"), std::string::npos);
  for (const char* name : {"out", "out.gif", "out.png"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  }
  // An unknown extension still writes, as a BMP, with a warning.
  EXPECT_EQ(Export("out.dat", "map"), 0);
  EXPECT_NE(stderrText.find("BMP"), std::string::npos);
  EXPECT_EQ(test::ReadFileBytes(dir.File("out.dat"))[0], 'B');
}

TEST_F(CliExportTest, MapTooLargeForTheFormatIsRefusedWithTheLimit) {
  MapDocument doc;
  ASSERT_TRUE(doc.grid.Allocate(1025, 1025));  // 32800 x 32800 pixels, past 4 GiB as BMP
  ChipSheetTable noSheets;
  test::RecordingMessages messages;
  ASSERT_TRUE(WriteBinaryDocument(dir.File("wide.kv"), doc, noSheets, messages));
  for (const char* name : {"wide.bmp", "wide.jpg"}) {
    EXPECT_EQ(Run({"export", dir.File("wide.kv"), dir.File(name), "--what", "map"}), 1) << name;
    EXPECT_NE(stderrText.find("32800 x 32800 pixels is too large"), std::string::npos)
        << stderrText;
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  }
  EXPECT_NE(stderrText.find("65535 pixels a side"), std::string::npos) << stderrText;
}

TEST_F(CliExportTest, InfoListsScannedSheetsAndMissingImages) {
  ASSERT_EQ(Run({"info", dir.File("doc.kv"), "--chips", dir.File("chips"), "--json"}), 0);
  // Sheets come in the folder's listing order; compare them as a set.
  EXPECT_NE(stdoutText.find("{\"fileName\":\"a.png\",\"width\":64,\"height\":32,"
                            "\"chipColumns\":2,\"chipRows\":1,\"layerChips\":1}"),
            std::string::npos)
      << stdoutText;
  EXPECT_NE(stdoutText.find("{\"fileName\":\"B.png\",\"width\":32,\"height\":32,"
                            "\"chipColumns\":1,\"chipRows\":1,\"layerChips\":0}"),
            std::string::npos)
      << stdoutText;
  EXPECT_NE(stdoutText.find(",\"missingImages\":[\"gone.png\"]}"), std::string::npos) << stdoutText;
  EXPECT_EQ(stdoutText.find("notes.txt"), std::string::npos);

  ASSERT_EQ(Run({"info", dir.File("doc.kv"), "--chips", dir.File("chips")}), 0);
  EXPECT_NE(stdoutText.find("sheets: 2\n"), std::string::npos) << stdoutText;
  EXPECT_NE(stdoutText.find("missing images: 1\n  gone.png\n"), std::string::npos);
}

// A map written for engines as an engine's loader reads it, with Qt's XML
// and JSON readers and zlib.
struct EngineMap {
  struct Tileset {
    int firstGid = 0;
    QString name;
    QString image;
    std::map<int, std::map<QString, bool>> properties;  // per tile id
    std::map<int, QString> chips;                       // kelvorChip per tile id
  };
  struct Layer {
    QString name;
    bool visible = true;
    std::vector<uint32_t> gids;
  };
  int width = 0;
  int height = 0;
  QString kelvorVersion;
  std::vector<Tileset> tilesets;
  std::vector<Layer> layers;
};

std::vector<uint32_t> DecodeGids(const QString& data, const QString& encoding,
                                 const QString& compression, size_t count) {
  std::vector<uint32_t> gids;
  if (encoding == "csv" || encoding.isEmpty()) {
    for (const QString& word : data.split(',')) gids.push_back(word.trimmed().toUInt());
    return gids;
  }
  EXPECT_EQ(compression, "zlib");
  const QByteArray packed = QByteArray::fromBase64(data.trimmed().toLatin1());
  std::vector<uint8_t> bytes(count * 4);
  uLongf size = bytes.size();
  EXPECT_EQ(uncompress(bytes.data(), &size, reinterpret_cast<const Bytef*>(packed.data()),
                       static_cast<uLong>(packed.size())),
            Z_OK);
  EXPECT_EQ(size, bytes.size());
  for (size_t i = 0; i + 3 < size; i += 4) {
    gids.push_back(bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16) |
                   (uint32_t{bytes[i + 3]} << 24));
  }
  return gids;
}

EngineMap ReadTmx(const std::string& path) {
  EngineMap map;
  QFile file(QString::fromStdString(path));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  int tile = -1;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = xml.attributes();
    if (xml.name() == u"map") {
      map.width = a.value("width").toInt();
      map.height = a.value("height").toInt();
    } else if (xml.name() == u"tileset") {
      map.tilesets.push_back({a.value("firstgid").toInt(), a.value("name").toString(), {}, {}, {}});
      tile = -1;
    } else if (xml.name() == u"image") {
      map.tilesets.back().image = a.value("source").toString();
    } else if (xml.name() == u"tile") {
      tile = a.value("id").toInt();
    } else if (xml.name() == u"property") {
      if (map.tilesets.empty()) {
        map.kelvorVersion = a.value("value").toString();
      } else if (a.value("name") == u"kelvorChip") {
        EXPECT_EQ(a.value("type"), u"");  // string, the default
        map.tilesets.back().chips[tile] = a.value("value").toString();
      } else {
        EXPECT_EQ(a.value("type"), u"bool");
        map.tilesets.back().properties[tile][a.value("name").toString()] =
            a.value("value") == u"true";
      }
    } else if (xml.name() == u"layer") {
      map.layers.push_back({a.value("name").toString(), a.value("visible") != u"0", {}});
    } else if (xml.name() == u"data") {
      const QString encoding = a.value("encoding").toString();
      const QString compression = a.value("compression").toString();
      map.layers.back().gids = DecodeGids(xml.readElementText(), encoding, compression,
                                          static_cast<size_t>(map.width * map.height));
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return map;
}

EngineMap ReadTmj(const std::string& path) {
  EngineMap map;
  QFile file(QString::fromStdString(path));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QJsonParseError error;
  const QJsonObject json = QJsonDocument::fromJson(file.readAll(), &error).object();
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  EXPECT_EQ(json["type"].toString(), "map");
  map.width = json["width"].toInt();
  map.height = json["height"].toInt();
  map.kelvorVersion = json["properties"][0]["value"].toString();
  for (const QJsonValue tileset : json["tilesets"].toArray()) {
    EngineMap::Tileset read{tileset["firstgid"].toInt(),
                            tileset["name"].toString(),
                            tileset["image"].toString(),
                            {},
                            {}};
    for (const QJsonValue tile : tileset["tiles"].toArray()) {
      for (const QJsonValue property : tile["properties"].toArray()) {
        if (property["name"].toString() == "kelvorChip") {
          EXPECT_EQ(property["type"].toString(), "string");
          read.chips[tile["id"].toInt()] = property["value"].toString();
          continue;
        }
        EXPECT_EQ(property["type"].toString(), "bool");
        read.properties[tile["id"].toInt()][property["name"].toString()] =
            property["value"].toBool();
      }
    }
    map.tilesets.push_back(read);
  }
  for (const QJsonValue layer : json["layers"].toArray()) {
    EXPECT_EQ(layer["type"].toString(), "tilelayer");
    EngineMap::Layer read{layer["name"].toString(), layer["visible"].toBool(), {}};
    if (layer["data"].isArray()) {
      for (const QJsonValue gid : layer["data"].toArray()) {
        read.gids.push_back(static_cast<uint32_t>(gid.toInteger()));
      }
    } else {
      read.gids =
          DecodeGids(layer["data"].toString(), layer["encoding"].toString(),
                     layer["compression"].toString(), static_cast<size_t>(map.width * map.height));
    }
    map.layers.push_back(read);
  }
  return map;
}

TEST_F(CliExportTest, EngineMapsReadBackThroughIndependentReaders) {
  // The fixture's chips with walls, flags, marks and attributes.
  MapDocument doc;
  doc.fileList.names[0] = "a.png";
  doc.fileList.names[1] = "b.png";
  doc.fileList.names[2] = "gone.png";
  for (ChipTable& table : doc.tables) table.entries[0].used = 1;
  doc.tables[0].entries[1] = {1, 0, 0, 0, EntryFlagCollision};
  doc.tables[0].entries[2] = {1, 1, 0, 0, 0};
  doc.tables[0].entries[3] = {1, 2, 0, 0, 0};
  doc.tables[1].entries[1] = {1, 0, 1, 0, EntryFlagPriority};
  doc.tables[0].count = 4;
  doc.tables[1].count = 2;
  ASSERT_TRUE(doc.grid.Allocate(3, 2));
  doc.grid.At(0, 0) = 1 | (1u << 16) | CellFlagCollision | CellFlagWallEast;
  doc.grid.At(1, 0) = 2 | CellFlagWallSouth | CellFlagPriority;
  doc.grid.At(1, 1) = (1u << 16) | CellFlagCollisionMark;
  doc.grid.At(2, 1) = 3 | CellFlagPriority | CellFlagPriorityMark;
  ChipSheetTable noSheets;
  test::RecordingMessages messages;
  ASSERT_TRUE(WriteBinaryDocument(dir.File("engine.kv"), doc, noSheets, messages));

  const std::vector<std::vector<uint32_t>> gids = {
      {2, 3, 0, 0, 0, 4}, {258, 0, 0, 0, 258, 0}, {516, 525, 0, 0, 0, 521}};
  using Properties = std::map<int, std::map<QString, bool>>;
  const Properties background = {
      {1, {{"collision", true}}}, {2, {{"collision", false}}}, {3, {{"collision", false}}}};
  const Properties layer = {{1, {{"collision", false}, {"priority", true}}}};
  // A name that needs escaping in both forms.
  const std::string stem = "a&b \"c\" <d>";
  struct Case {
    std::string to;
    std::string encoding;
  };
  const Case cases[] = {{"tmx", "csv"}, {"tmx", "zlib"}, {"tmj", "csv"}, {"tmj", "zlib"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to + " " + c.encoding);
    const std::string out = dir.File(stem + "." + c.to);
    ASSERT_EQ(Run({"convert", dir.File("engine.kv"), out, "--to", c.to, "--encoding", c.encoding,
                   "--chips", dir.File("chips")}),
              0)
        << stderrText;
    EXPECT_NE(stderrText.find("gone.png"), std::string::npos);
    const EngineMap map = c.to == "tmx" ? ReadTmx(out) : ReadTmj(out);
    EXPECT_EQ(map.width, 3);
    EXPECT_EQ(map.height, 2);
    EXPECT_EQ(map.kelvorVersion, "1.51");
    ASSERT_EQ(map.tilesets.size(), 3u);
    const int firstGids[] = {1, 257, 513};
    const char* names[] = {"background", "layer", "flags"};
    for (size_t t = 0; t < 3; ++t) {
      EXPECT_EQ(map.tilesets[t].firstGid, firstGids[t]);
      EXPECT_EQ(map.tilesets[t].name, names[t]);
      EXPECT_EQ(map.tilesets[t].image.toStdString(), stem + "." + names[t] + ".png");
    }
    EXPECT_EQ(map.tilesets[0].properties, background);
    EXPECT_EQ(map.tilesets[1].properties, layer);
    // Where each chip came from, for reading the map back.
    EXPECT_EQ(map.tilesets[0].chips,
              (std::map<int, QString>{{1, "a.png:0:0"}, {2, "b.png:0:0"}, {3, "gone.png:0:0"}}));
    EXPECT_EQ(map.tilesets[1].chips, (std::map<int, QString>{{1, "a.png:1:0"}}));
    EXPECT_TRUE(map.tilesets[2].chips.empty());
    ASSERT_EQ(map.tilesets[2].properties.size(), 16u);
    for (const auto& [id, flags] : map.tilesets[2].properties) {
      const std::map<QString, bool> expected = {{"collision", (id & 1) != 0},
                                                {"wallEast", (id & 2) != 0},
                                                {"wallSouth", (id & 4) != 0},
                                                {"priority", (id & 8) != 0}};
      EXPECT_EQ(flags, expected) << id;
    }
    ASSERT_EQ(map.layers.size(), 3u);
    for (size_t l = 0; l < 3; ++l) {
      EXPECT_EQ(map.layers[l].name, names[l]);
      EXPECT_EQ(map.layers[l].visible, l < 2);
      EXPECT_EQ(map.layers[l].gids, gids[l]) << l;
    }
  }

  // The pictures, as PNG with straight alpha.
  const auto picture = [&](const char* which) {
    return QImage(QString::fromStdString(dir.File(stem + "." + which + ".png")), "PNG")
        .convertToFormat(QImage::Format_ARGB32);
  };
  const QImage backgroundPicture = picture("background");
  ASSERT_EQ(backgroundPicture.size(), QSize(512, 512));
  EXPECT_EQ(backgroundPicture.pixel(32, 0), qRgba(255, 0, 0, 255));
  EXPECT_EQ(qAlpha(backgroundPicture.pixel(96, 0)), 0);  // missing image
  EXPECT_EQ(picture("layer").pixel(32, 0), qRgba(0, 0, 255, 128));
  // Flags tiles: a collision cell half filled, walls as bars on the right and
  // bottom edges, priority as a frame two pixels in.
  const QImage flags = picture("flags");
  ASSERT_EQ(flags.size(), QSize(128, 128));
  for (int id = 0; id < 16; ++id) {
    const int x = (id % 4) * 32;
    const int y = (id / 4) * 32;
    const int under = (id & 1) ? 128 : 0;
    const int alphas[] = {qAlpha(flags.pixel(x + 16, y + 16)), qAlpha(flags.pixel(x + 29, y + 16)),
                          qAlpha(flags.pixel(x + 16, y + 29)), qAlpha(flags.pixel(x + 1, y + 16))};
    const int expected[] = {under, (id & 2) ? 255 : under, (id & 4) ? 255 : under,
                            (id & 8) ? 255 : under};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(alphas[i], expected[i]) << "tile " << id << " probe " << i;
  }
  // In the colour the map view marks flags with.
  EXPECT_EQ(flags.pixel(32 + 16, 16), qRgba(255, 0, 0, 128));
  EXPECT_EQ(flags.pixel(64 + 29, 16), qRgba(255, 0, 0, 255));
}

}  // namespace
}  // namespace kelvor
