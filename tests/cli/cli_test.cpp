#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/byte_builder.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

using RunResult = test::CliRun;

// AddressSanitizer reserves terabytes of address space up front, so the
// limit only applies to plain builds.
std::string MemoryLimit() {
#if defined(__SANITIZE_ADDRESS__)
  return "";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return "";
#else
  return "ulimit -v 1000000; ";
#endif
#else
  return "ulimit -v 1000000; ";
#endif
}

class CliTest : public ::testing::Test {
 protected:
  // Runs the built tool with an address-space limit far below what any
  // claimed size in the hostile files would need.
  RunResult Run(const std::vector<std::string>& args) {
    return test::RunCli(dir, args, MemoryLimit());
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir.File(name);
    test::WriteFileBytes(path, bytes);
    return path;
  }

  test::TempDir dir;
};

// A binary document without sheet records (the tool loads no chip sheets,
// so only such a document survives a conversion unchanged).
std::vector<uint8_t> Document(const std::vector<uint32_t>& cells = {0x00010001, 0x00000002,
                                                                    0x80000100, 0}) {
  const std::vector<std::string> names = {"grass.png", "wall.png"};
  test::ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(11);
  b.Chunk("version", 9).Str("1.41");
  b.Chunk("bmp2_count", 4).I32(0);
  b.Chunk("bmp2_name", 0);
  b.Chunk("bmp2_transparent", 0);
  b.Chunk("bmp2_chip_count", 0);
  b.Chunk("bmp2_flag", 0);
  int64_t namesSize = 0;
  for (const std::string& name : names) namesSize += 5 + static_cast<int64_t>(name.size());
  b.Chunk("bmp1_count", 4).I32(static_cast<int64_t>(names.size()));
  b.Chunk("bmp1_name", namesSize);
  for (const std::string& name : names) b.Str(name);
  b.Chunk("chip1_count", 8).I32(3).I32(2);
  b.Chunk("chip1", 100)
      .Entry(1, 0, 0, 0, 0)
      .Entry(1, 0, 1, 0, 0x01)
      .Entry(1, 1, 2, 3, 0)
      .Entry(1, 0, 0, 0, 0)
      .Entry(1, 1, 0, 0, 0x10);
  b.Chunk("mapdata_bin", 24).I32(2).I32(2);
  for (uint32_t cell : cells) b.I32(cell);
  return b.bytes;
}

TEST_F(CliTest, InfoDescribesTheDocument) {
  const std::string path = Write("stage.kv", Document());
  const RunResult plain = Run({"info", path});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out,
            "form: binary\n"
            "version: 1.41\n"
            "map: 2 x 2\n"
            "chips used: 2/255 background, 1/255 layer\n"
            "file names: 2/256\n"
            "  0 grass.png\n"
            "  1 wall.png\n"
            "sheet records: 0\n");
  EXPECT_EQ(plain.err, "");

  const RunResult json = Run({"info", path, "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_EQ(json.out,
            "{\"form\":\"binary\",\"version\":\"1.41\",\"width\":2,\"height\":2,"
            "\"chipsUsed\":[2,1],\"fileNames\":[\"grass.png\",\"wall.png\"],"
            "\"sheetRecords\":[]}\n");
}

TEST_F(CliTest, InfoListsStoredSheetRecordsAndEscapesNames) {
  const std::string text =
      "<version>\r\n1.41\r\n</version>\r\n<bmp2>\r\n<bmp2_name>\r\nmy \"tiles\".png\r\n"
      "</bmp2_name>\r\n<bmp2_transparent>\r\n1 ff00ff\r\n</bmp2_transparent>\r\n"
      "<bmp2_chip_count>\r\n2 1\r\n</bmp2_chip_count>\r\n</bmp2>\r\n<bmp1_name>\r\n\xe8\x8d\x89"
      "\x91.png\r\n</bmp1_name>\r\n<mapdata_bin_chip_count>\r\n1 1\r\n"
      "</mapdata_bin_chip_count>\r\n<mapdata_bin_data>\r\n0\r\n</mapdata_bin_data>";
  const std::string path = Write("text.kv", std::vector<uint8_t>(text.begin(), text.end()));
  const RunResult json = Run({"info", path, "--json", "--chips", "/nowhere"});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"form\":\"text\",\"version\":\"1.41\",\"width\":1,\"height\":1,"
            "\"chipsUsed\":[0,0],\"fileNames\":[\"\xe8\x8d\x89\\u0091.png\"],"
            "\"sheetRecords\":[{\"name\":\"my \\\"tiles\\\".png\",\"transparent\":1,"
            "\"transparentColor\":16711935,\"chipColumns\":2,\"chipRows\":1}]}\n");
}

TEST_F(CliTest, ConvertsBinaryToTextAndBackToTheSameBytes) {
  const std::vector<uint8_t> original = Document();
  const std::string binary = Write("stage.kv", original);
  const std::string text = dir.File("stage-text.kv");
  const std::string again = dir.File("again.kv");
  ASSERT_EQ(Run({"convert", binary, text, "--to", "text"}).status, 0);
  const std::vector<uint8_t> textBytes = test::ReadFileBytes(text);
  EXPECT_EQ(std::string(textBytes.begin(), textBytes.begin() + 27),
            "<version>\r\n1.41\r\n</version>");
  const RunResult back = Run({"convert", text, again, "--to", "binary"});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(test::ReadFileBytes(again), original);

  const std::string map = dir.File("stage.bin");
  ASSERT_EQ(Run({"convert", text, map, "--to", "mapdata"}).status, 0);
  EXPECT_EQ(test::ReadFileBytes(map),
            (std::vector<uint8_t>{2, 0, 0, 0, 2, 0, 0, 0,    1, 0, 1, 0,
                                  2, 0, 0, 0, 0, 1, 0, 0x80, 0, 0, 0, 0}));
}

TEST_F(CliTest, KeepsTheSettingsOfLoadedSheetsThroughBothForms) {
  // A 64 x 32 chip set (2 x 1 chips) in a folder given with --chips.
  std::filesystem::create_directory(dir.path() / "chips");
  test::ByteBuilder bmp;
  bmp.Raw({'B', 'M'}).I32(54 + 64 * 32 * 4).I32(0).I32(54);
  bmp.I32(40).I32(64).I32(32).Raw({1, 0, 32, 0}).I32(0).I32(64 * 32 * 4).I32(2835).I32(2835);
  bmp.I32(0).I32(0);
  for (int i = 0; i < 64 * 32; ++i) bmp.Raw({0x20, 0x40, 0x60, 0xFF});
  Write("chips/tiles.bmp", bmp.bytes);

  test::ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(11);
  b.Chunk("version", 9).Str("1.41");
  b.Chunk("bmp2_count", 4).I32(1);
  b.Chunk("bmp2_name", 14).Str("tiles.bmp");
  b.Chunk("bmp2_transparent", 8).I32(1).I32(0xff00ff);
  b.Chunk("bmp2_chip_count", 8).I32(2).I32(1);
  b.Chunk("bmp2_flag", 12).I32(8).Raw({4, 10, 0, 0, 0, 0, 7, 0});
  b.Chunk("bmp1_count", 4).I32(1);
  b.Chunk("bmp1_name", 14).Str("tiles.bmp");
  b.Chunk("chip1_count", 8).I32(2).I32(1);
  b.Chunk("chip1", 60).Entry(1, 0, 0, 0, 0).Entry(1, 0, 1, 0, 1).Entry(1, 0, 0, 0, 0);
  b.Chunk("mapdata_bin", 12).I32(1).I32(1).I32(1);
  const std::string binary = Write("sheets.kv", b.bytes);
  const std::string text = dir.File("sheets-text.kv");
  const std::string again = dir.File("sheets-again.kv");
  const std::string chips = dir.File("chips");

  ASSERT_EQ(Run({"convert", binary, text, "--to", "text", "--chips", chips}).status, 0);
  const std::vector<uint8_t> textBytes = test::ReadFileBytes(text);
  const std::string written(textBytes.begin(), textBytes.end());
  EXPECT_NE(written.find("<bmp2_flag>\r\n4 10 0 0\r\n0 0 7 0\r\n</bmp2_flag>"), std::string::npos)
      << written;
  const RunResult back = Run({"convert", text, again, "--to", "binary", "--chips", chips});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(test::ReadFileBytes(again), b.bytes);
}

TEST_F(CliTest, OptimizeDropsUnusedChipsAndNames) {
  // Only background slot 1 (grass.png) is on the map.
  const std::string input = Write("stage.kv", Document({0x00000001, 0, 0x80000100, 0}));
  const std::string output = dir.File("optimized.kv");
  const RunResult run = Run({"convert", input, output, "--to", "binary", "--optimize"});
  ASSERT_EQ(run.status, 0) << run.err;
  const RunResult info = Run({"info", output, "--json"});
  EXPECT_NE(info.out.find("\"chipsUsed\":[1,0],\"fileNames\":[\"grass.png\"]"), std::string::npos)
      << info.out;
  // Without the option the tables are written as read.
  ASSERT_EQ(Run({"convert", input, output, "--to", "binary"}).status, 0);
  EXPECT_NE(Run({"info", output, "--json"}).out.find("\"chipsUsed\":[2,1]"), std::string::npos);
}

TEST_F(CliTest, RefusesHostileFilesWithOneLineAndStatusOne) {
  const std::vector<uint8_t> good = Document();
  std::vector<uint8_t> truncated(good.begin(), good.end() - 3);

  test::ByteBuilder hugeMap;
  hugeMap.Raw({'K', 'V', 0, 0}).I32(2).Chunk("version", 9).Str("1.41");
  hugeMap.Chunk("mapdata_bin", 8).I32(100000).I32(100000);

  test::ByteBuilder negative;
  negative.Raw({'K', 'V', 0, 0}).I32(3).Chunk("version", 9).Str("1.41");
  negative.Chunk("bmp1_count", 4).I32(-7).Chunk("mapdata_bin", 8).I32(0).I32(0);

  test::ByteBuilder hugeNames;
  hugeNames.Raw({'K', 'V', 0, 0}).I32(4).Chunk("version", 9).Str("1.41");
  hugeNames.Chunk("bmp2_count", 4).I32(1).Chunk("bmp2_name", 4).I32(0x7fffffff);

  const std::string hugeText =
      "<version>\n1.41\n</version>\n<mapdata_bin_chip_count>\n100000 100000\n"
      "</mapdata_bin_chip_count>\n<mapdata_bin_data>\n1\n</mapdata_bin_data>\n";

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"truncated.kv", truncated, "map size negative or larger than the file"},
      {"huge-map.kv", hugeMap.bytes, "map size negative or larger than the file"},
      {"negative.kv", negative.bytes, "file name count out of range"},
      {"huge-names.kv", hugeNames.bytes, "bad or truncated name"},
      {"huge-text.kv", std::vector<uint8_t>(hugeText.begin(), hugeText.end()),
       "map size out of range"},
      {"empty.kv", {}, "not a Kelvor document"},
  };
  for (const Case& c : cases) {
    const std::string path = Write(c.name, c.bytes);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", path},
          std::vector<std::string>{"convert", path, dir.File("out.kv"), "--to", "text"}}) {
      const RunResult run = Run(args);
      EXPECT_EQ(run.status, 1) << c.name;
      EXPECT_EQ(run.out, "") << c.name;
      EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.kv")));
}

TEST_F(CliTest, RefusesBadCommandLinesAndUnwritableOutputs) {
  const std::string input = Write("stage.kv", Document());
  struct Case {
    std::vector<std::string> args;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {{"info"}, "exactly one document"},
      {{"frobnicate", input}, "unknown command"},
      {{"convert", input, dir.File("x.kv")}, "--to must be"},
      {{"convert", input, dir.File("x.kv"), "--to", "png"}, "--to must be"},
      {{"convert", input, dir.File("x.dat"), "--to", "mapdata"}, "must end in .bin"},
      {{"convert", input, dir.File("no/folder/x.kv"), "--to", "binary"}, "cannot create"},
      {{"convert", input, "--to"}, "--to needs a value"},
      {{"convert", input, dir.File("x.tmx"), "--to", "tmx", "--encoding", "gzip"},
       "--encoding must be csv or zlib"},
      {{"convert", input, dir.File("x.kv"), "--to", "text", "--encoding", "zlib"},
       "--encoding goes with --to tmx or tmj only"},
      {{"convert", input, dir.File("no/folder/x.tmx"), "--to", "tmx"}, "cannot create"},
      {{"convert", dir.File("stage.txt"), dir.File("x.kv"), "--to", "text"}, "must end in .kv"},
  };
  for (const Case& c : cases) {
    const RunResult run = Run(c.args);
    EXPECT_EQ(run.status, 1) << c.args[0];
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
  }
  EXPECT_EQ(Run({}).status, 1);
  EXPECT_EQ(Run({"--help"}).status, 0);
  const RunResult version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Kelvor 1.51\n");
  // A wrong option is a usage error: the reason and the usage, status 2.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", input, "--colour"}, std::vector<std::string>{"--frob"}}) {
    const RunResult run = Run(args);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.err.find("unknown option " + args.back()), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("usage: kelvor-cli"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace kelvor
