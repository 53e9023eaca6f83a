// Documents that claim more than they hold: refused before anything of the
// claimed size is allocated, and reading a real document takes memory in
// proportion to its file. Proven in a child process whose address space is
// capped just above what it needs.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "editing/selection.h"
#include "fault_support.h"
#include "files/binary_document.h"
#include "files/text_document.h"
#include "support/byte_builder.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

constexpr uint64_t MiB = uint64_t{1} << 20;

// Address space a child may add; without working limits (sanitizer builds)
// only the outcome is checked.
uint64_t Budget(uint64_t bytes) {
  return test::AddressSpaceLimitsWork ? bytes : uint64_t{1} << 44;
}

test::ByteBuilder BinaryStart(int32_t chunks) {
  test::ByteBuilder b;
  b.Raw({'K', 'V', 0, 0}).I32(chunks);
  b.Chunk("version", 9).Str("1.41");
  return b;
}

std::vector<uint8_t> Text(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

struct HostileCase {
  const char* name;
  std::vector<uint8_t> bytes;
  ParseResult (*parse)(std::span<const uint8_t>);
};

std::vector<HostileCase> HostileCases() {
  std::vector<HostileCase> cases;
  const auto binary = [&](const char* name, test::ByteBuilder b) {
    cases.push_back({name, std::move(b.bytes), &ParseBinaryDocument});
  };
  binary("map of 2^31-1 x 2^31-1 cells with 4 cells present", BinaryStart(2)
                                                                  .Chunk("mapdata_bin", 24)
                                                                  .I32(INT32_MAX)
                                                                  .I32(INT32_MAX)
                                                                  .I32(1)
                                                                  .I32(2)
                                                                  .I32(3)
                                                                  .I32(4));
  binary("map of 65536 x 65536 cells with none present",
         BinaryStart(2).Chunk("mapdata_bin", 8).I32(65536).I32(65536));
  binary("map one cell short", BinaryStart(2).Chunk("mapdata_bin", 8).I32(3).I32(3).I32(0));
  binary("chunk count of 2^31-1 and no chunks", BinaryStart(INT32_MAX));
  binary("unknown chunk of 2^31-1 bytes", BinaryStart(2).Chunk("later", INT32_MAX).I32(0));
  binary("version string of 2^31-1 bytes",
         test::ByteBuilder().Raw({'K', 'V', 0, 0}).I32(1).Chunk("version", 9).I32(INT32_MAX));
  {
    test::ByteBuilder b = BinaryStart(4);
    b.Chunk("bmp2_count", 4).I32(256).Chunk("bmp2_chip_count", 8);
    b.I32(INT32_MAX).I32(INT32_MAX);  // only the first sheet's counts
    binary("256 sheets whose counts are cut off", std::move(b));
  }
  {
    test::ByteBuilder b = BinaryStart(4);
    b.Chunk("bmp2_count", 4).I32(1).Chunk("bmp2_chip_count", 8).I32(40000).I32(40000);
    b.Chunk("bmp2_flag", 4).I32(INT32_MAX).Raw({1, 2, 3});
    binary("flag record of 2^31-1 bytes with 3 present", std::move(b));
  }
  binary("257 sheets", BinaryStart(2).Chunk("bmp2_count", 4).I32(257));
  binary("negative sheet count", BinaryStart(2).Chunk("bmp2_count", 4).I32(-1));
  binary("257 file names", BinaryStart(2).Chunk("bmp1_count", 4).I32(257));
  {
    test::ByteBuilder b = BinaryStart(3);
    b.Chunk("bmp1_count", 4).I32(1).Chunk("bmp1_name", 8).I32(INT32_MAX).Text("abcd");
    binary("file name of 2^31-1 bytes", std::move(b));
  }
  binary("table count of 257", BinaryStart(2).Chunk("chip1_count", 8).I32(257).I32(0));
  binary("negative table count", BinaryStart(2).Chunk("chip1_count", 8).I32(0).I32(-5));

  const auto text = [&](const char* name, std::string_view body) {
    cases.push_back({name, Text(body), &ParseTextDocument});
  };
  text("text map wider than 16384",
       "<version>\r\n1.41\r\n</version>\r\n<mapdata_bin_chip_count>\r\n16385 1\r\n"
       "</mapdata_bin_chip_count>\r\n<mapdata_bin_data>\r\n</mapdata_bin_data>");
  text("text map of 2^31-1 x 2^31-1",
       "<version>\n1.41\n</version>\n<mapdata_bin_chip_count>\n2147483647 2147483647\n"
       "</mapdata_bin_chip_count>\n<mapdata_bin_data>\n</mapdata_bin_data>");
  text("text flag rows of a 2^31-1-chip-wide sheet",
       "<version>\n1.41\n</version>\n<bmp2>\n<bmp2_chip_count>\n2147483647 1\n"
       "</bmp2_chip_count>\n<bmp2_flag>\n0 0 0 0\n</bmp2_flag>\n</bmp2>\n");
  text("text table count of 2^31-1",
       "<version>\n1.41\n</version>\n<chip1>\n<chip1_data_count>\n"
       "2147483647\n</chip1_data_count>\n");
  {
    std::string many = "<version>\n1.41\n</version>\n";
    for (int i = 0; i < 300; ++i) many += "<bmp2>\n<bmp2_name>\nx\n</bmp2_name>\n</bmp2>\n";
    text("300 text sheet records", many);
  }
  return cases;
}

TEST(ResourceLimits, DocumentsClaimingMoreThanTheyHoldAreRefusedCheaply) {
  for (HostileCase& c : HostileCases()) {
    SCOPED_TRACE(c.name);
    // Each file is tiny; 8 MiB covers the parser's own needs many times.
    const int status = test::RunWithMemoryBudget(Budget(8 * MiB), [&] {
      const ParseResult result = c.parse(c.bytes);
      return result.status == ParseStatus::Invalid ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "1: accepted, -1/102: took too much memory";
  }
}

TEST(ResourceLimits, ATextMapMayClaimItsLimitWithoutListingCells) {
  // The text form lists cells one per line and fills the rest with 0, so a
  // 16384 x 16384 claim is legal; the parser still only stores the cells it
  // read, and the full map (1 GiB) is made once, on commit.
  const std::vector<uint8_t> bytes = Text(
      "<version>\n1.41\n</version>\n<mapdata_bin_chip_count>\n16384 16384\n"
      "</mapdata_bin_chip_count>\n<mapdata_bin_data>\n7\n</mapdata_bin_data>\n");
  const int status = test::RunWithMemoryBudget(Budget(8 * MiB), [&] {
    const ParseResult result = ParseTextDocument(bytes);
    if (result.status != ParseStatus::Ok) return 1;
    return result.document.grid->CellCount() == 1 ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
}

// Reading a real 1024 x 1024 map: the file, the map and its selection
// flags, and little else.
TEST(ResourceLimits, ReadingTakesMemoryInProportionToTheFile) {
  MapDocument document;
  ASSERT_TRUE(document.grid.Allocate(1024, 1024));
  for (size_t i = 0; i < document.grid.cells->size(); ++i) {
    (*document.grid.cells)[i] = static_cast<MapCell>(i * 2654435761u);
  }
  ChipSheetTable sheets;
  test::TempDir dir;
  const std::string binaryPath = dir.File("big.kv");
  const std::string textPath = dir.File("big_text.kv");
  test::RecordingMessages messages;
  ASSERT_TRUE(WriteBinaryDocument(binaryPath, document, sheets, messages));
  ASSERT_TRUE(WriteTextDocument(textPath, document, sheets, messages));

  struct Form {
    std::string path;
    bool (*read)(const std::string&, MapDocument&, ChipSheetTable&, SelectionState&, Messages&);
  };
  for (const Form& form :
       {Form{binaryPath, &ReadBinaryDocument}, Form{textPath, &ReadTextDocument}}) {
    SCOPED_TRACE(form.path);
    const uint64_t fileSize = std::filesystem::file_size(form.path);
    const uint64_t mapSize = 4 * MiB + 1 * MiB;  // cells and selection flags
    // The file once, the cells at most twice while they grow, and slack.
    const int status = test::RunWithMemoryBudget(Budget(fileSize + 2 * mapSize + 16 * MiB), [&] {
      MapDocument target;
      ChipSheetTable noSheets;
      SelectionState selection;
      test::RecordingMessages quiet;
      if (!form.read(form.path, target, noSheets, selection, quiet)) return 1;
      return target.grid.cells == document.grid.cells ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: not read, 2: read wrongly, -1/102: took too much memory";
  }
}

}  // namespace
}  // namespace kelvor
