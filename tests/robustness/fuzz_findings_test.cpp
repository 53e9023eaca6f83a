// Inputs the fuzzers found, kept as regression cases, and a check that the
// committed seed corpora still are what they claim to be: valid inputs that
// take the fuzzers deep into each parser.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "editing/clipboard_block.h"
#include "files/binary_document.h"
#include "files/text_document.h"
#include "platform/bmp32.h"
#include "support/byte_builder.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

TEST(FuzzFindings, FlagRecordOfASheetWithHugeChipCounts) {
  // Chip counts near 2^31 overflowed the signed size check of the flag
  // record (undefined behaviour) before the record was compared with it.
  const auto document = [](int32_t flagBytes) {
    test::ByteBuilder b;
    b.Raw({'K', 'V', 0, 0}).I32(5);
    b.Chunk("version", 9).Str("1.41");
    b.Chunk("bmp2_count", 4).I32(1);
    b.Chunk("bmp2_chip_count", 8).I32(INT32_MAX).I32(INT32_MAX);
    b.Chunk("bmp2_flag", 12).I32(flagBytes).Raw({1, 2, 3, 4, 5, 6, 7, 8});
    b.Chunk("mapdata_bin", 8).I32(0).I32(0);
    return b.bytes;
  };
  const ParseResult accepted = ParseBinaryDocument(document(8));
  ASSERT_EQ(accepted.status, ParseStatus::Ok) << accepted.reason;
  ASSERT_EQ(accepted.document.sheetRecords.size(), 1u);
  EXPECT_EQ(accepted.document.sheetRecords[0].flags,
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(ParseBinaryDocument(document(-1)).status, ParseStatus::Invalid);
}

TEST(FuzzFindings, BinaryMapSidesAreHeldToTheTextFormLimit) {
  // A map 0 cells wide holds no cell whatever height it claims; the editor's
  // views would then count 32 x 2^31 pixels in 32 bits. Refused, as in the
  // text form, beyond 16384 cells on a side.
  struct Case {
    int32_t width;
    int32_t height;
    ParseStatus expected;
  };
  for (const Case c :
       {Case{0, 16384, ParseStatus::Ok}, Case{16384, 0, ParseStatus::Ok},
        Case{0, 16385, ParseStatus::Invalid}, Case{0, INT32_MAX, ParseStatus::Invalid},
        Case{INT32_MAX, 0, ParseStatus::Invalid}}) {
    test::ByteBuilder b;
    b.Raw({'K', 'V', 0, 0}).I32(2).Chunk("version", 9).Str("1.41");
    b.Chunk("mapdata_bin", 8).I32(c.width).I32(c.height);
    EXPECT_EQ(ParseBinaryDocument(b.bytes).status, c.expected) << c.width << " x " << c.height;
  }
}

// Worked out by name: the data folder itself need not exist in a checkout.
fs::path Corpus(const char* target) {
  return fs::path(KELVOR_TEST_DATA).parent_path().parent_path() / "fuzz" / "corpus" / target;
}

std::vector<fs::path> Seeds(const char* target) {
  std::vector<fs::path> seeds;
  for (const auto& entry : fs::directory_iterator(Corpus(target))) seeds.push_back(entry.path());
  return seeds;
}

TEST(FuzzSeeds, DocumentSeedsAreAcceptedDocuments) {
  struct Target {
    const char* name;
    ParseResult (*parse)(std::span<const uint8_t>);
  };
  for (const Target target : {Target{"binary_document", &ParseBinaryDocument},
                              Target{"text_document", &ParseTextDocument}}) {
    const std::vector<fs::path> seeds = Seeds(target.name);
    EXPECT_GE(seeds.size(), 3u) << target.name;
    for (const fs::path& seed : seeds) {
      const ParseResult result = target.parse(test::ReadFileBytes(seed.string()));
      EXPECT_EQ(result.status, ParseStatus::Ok) << seed << ": " << result.reason;
    }
  }
  for (const fs::path& seed : Seeds("open_document")) {
    const std::vector<uint8_t> bytes = test::ReadFileBytes(seed.string());
    EXPECT_TRUE(ParseBinaryDocument(bytes).status == ParseStatus::Ok ||
                ParseTextDocument(bytes).status == ParseStatus::Ok)
        << seed;
  }
}

TEST(FuzzSeeds, ImageAndClipboardSeedsAreAccepted) {
  for (const fs::path& seed : Seeds("bmp32")) {
    const std::vector<uint8_t> bytes = test::ReadFileBytes(seed.string());
    PixelBuffer pixels;
    EXPECT_TRUE(ReadBmp32(bytes.data(), bytes.size(), pixels)) << seed;
  }
  for (const fs::path& seed : Seeds("clipboard_block")) {
    // The fuzz target's framing: size block length, cell count, blocks.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(seed.string());
    ASSERT_GE(bytes.size(), 10u) << seed;
    const std::span<const uint8_t> all(bytes);
    const size_t cells = size_t{bytes[1]} * 4;
    PasteBlock block;
    EXPECT_TRUE(ParseClipboardBlock(all.subspan(2, bytes[0]), all.subspan(2 + bytes[0], cells),
                                    all.subspan(2 + bytes[0] + cells), block))
        << seed;
  }
}

}  // namespace
}  // namespace kelvor
