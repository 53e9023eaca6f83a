#include <gtest/gtest.h>

#include <vector>

#include "editing/clipboard_block.h"

namespace kelvor {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ClipboardBlockTest, EncodesTheThreeLayouts) {
  // 2 x 2 block; the cells carry both chips, flags and a non-zero top byte.
  const std::vector<MapCell> cells = {0x00030105, 0xAB000000, 0x00FF10FE, 0x00000001};
  const Bytes mask = {1, 0, 0, 1};
  const ClipboardBlockBytes bytes = EncodeClipboardBlock(2, 2, cells, mask);
  EXPECT_EQ(bytes.blockSize, (Bytes{0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}));
  EXPECT_EQ(bytes.blockCells, (Bytes{0x05, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0xAB,  //
                                     0xFE, 0x10, 0xFF, 0x00, 0x01, 0x00, 0x00, 0x00}));
  EXPECT_EQ(bytes.blockMask, (Bytes{0x01, 0x00, 0x00, 0x01}));

  const ClipboardBlockBytes empty = EncodeClipboardBlock(0, 0, {}, {});
  EXPECT_EQ(empty.blockSize, (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(empty.blockCells.empty());
  EXPECT_TRUE(empty.blockMask.empty());
}

TEST(ClipboardBlockTest, ParsesAWellFormedBlock) {
  PasteBlock block;
  const Bytes size = {0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
  const Bytes cells = {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00, 0x07, 0x10, 0x00, 0xFF};
  const Bytes mask = {1, 0, 2};
  ASSERT_TRUE(ParseClipboardBlock(size, cells, mask, block));
  EXPECT_TRUE(block.hasBlock);
  EXPECT_EQ(block.blockWidth, 3);
  EXPECT_EQ(block.blockHeight, 1);
  EXPECT_EQ(block.blockCells, (std::vector<uint32_t>{0x04030201, 0, 0xFF001007}));
  EXPECT_EQ(block.blockMask, (Bytes{1, 0, 2}));
}

TEST(ClipboardBlockTest, IgnoresBytesBeyondTheClaimedSize) {
  // Clipboard blocks may come back rounded up in size.
  PasteBlock block;
  const Bytes size = {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xEE, 0xEE};
  const Bytes cells = {0x09, 0x00, 0x00, 0x00, 0xEE, 0xEE, 0xEE};
  const Bytes mask = {1, 0xEE};
  ASSERT_TRUE(ParseClipboardBlock(size, cells, mask, block));
  EXPECT_EQ(block.blockCells, (std::vector<uint32_t>{9}));
  EXPECT_EQ(block.blockMask, (Bytes{1}));
}

TEST(ClipboardBlockTest, AnEmptyBlockIsValid) {
  PasteBlock block;
  ASSERT_TRUE(ParseClipboardBlock(Bytes(8, 0), {}, {}, block));
  EXPECT_TRUE(block.hasBlock);
  EXPECT_EQ(block.blockWidth, 0);
  EXPECT_TRUE(block.blockCells.empty());
  // Zero rows of any width hold no cells either.
  ASSERT_TRUE(ParseClipboardBlock(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}, {}, {}, block));
  EXPECT_EQ(block.blockWidth, 0x7FFFFFFF);
  EXPECT_EQ(block.blockHeight, 0);
}

struct BadBlock {
  const char* name;
  Bytes size;
  size_t cellBytes;
  size_t maskBytes;
};

class RefusedBlocks : public ::testing::TestWithParam<BadBlock> {};

TEST_P(RefusedBlocks, LeaveThePreviousBlock) {
  const BadBlock& bad = GetParam();
  PasteBlock block;
  block.hasBlock = true;
  block.blockWidth = 1;
  block.blockHeight = 1;
  block.blockCells = {0x00000707};
  block.blockMask = {1};
  EXPECT_FALSE(
      ParseClipboardBlock(bad.size, Bytes(bad.cellBytes, 0x11), Bytes(bad.maskBytes, 1), block));
  EXPECT_TRUE(block.hasBlock);
  EXPECT_EQ(block.blockWidth, 1);
  EXPECT_EQ(block.blockHeight, 1);
  EXPECT_EQ(block.blockCells, (std::vector<uint32_t>{0x00000707}));
  EXPECT_EQ(block.blockMask, (Bytes{1}));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, RefusedBlocks,
    ::testing::Values(
        BadBlock{"NegativeWidth", {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0}, 64, 64},
        BadBlock{"NegativeHeight", {0x02, 0, 0, 0, 0x00, 0x00, 0x00, 0x80}, 64, 64},
        // Width and height as the copy of an empty selection once wrote them.
        BadBlock{"BothNegative", {0xEC, 0xFF, 0xFF, 0xFF, 0xF1, 0xFF, 0xFF, 0xFF}, 1200, 300},
        BadBlock{"ProductFarBeyondData", {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}, 64, 64},
        BadBlock{"ProductWrapsIn32Bits", {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}, 64, 64},
        BadBlock{"CellsOneByteShort", {0x02, 0, 0, 0, 0x02, 0, 0, 0}, 15, 4},
        BadBlock{"MaskOneByteShort", {0x02, 0, 0, 0, 0x02, 0, 0, 0}, 16, 3},
        BadBlock{"SizeBlockShort", {0x01, 0, 0, 0, 0x01, 0, 0}, 4, 1},
        BadBlock{"SizeBlockEmpty", {}, 4, 1}),
    [](const ::testing::TestParamInfo<BadBlock>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvor
