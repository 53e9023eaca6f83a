#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "editing/undo_history.h"
#include "editor_fixture.h"
#include "platform/qt/qt_clipboard.h"
#include "tools/selection_ops.h"

namespace kelvor {
namespace {

using Bytes = std::vector<uint8_t>;

class QtClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    QGuiApplication::clipboard()->clear();
  }
  void TearDown() override { QGuiApplication::clipboard()->clear(); }

  QtClipboard clipboard;
};

TEST_F(QtClipboardTest, BlocksTravelByteForByteUnderTheirOwnTypes) {
  // Zero bytes, high bytes and an odd length must all survive the trip.
  const Bytes size = {3, 0, 0, 0, 2, 0, 0, 0};
  const Bytes cells = {0x01, 0x00, 0xFF, 0x80, 0, 0, 0, 0, 0xFE, 0x12, 0x34, 0x56,
                       0,    0,    0,    0,    0, 0, 0, 0, 0x02, 0x00, 0x00, 0xFF};
  const Bytes mask = {1, 0, 0, 0, 0, 1};
  ASSERT_TRUE(clipboard.WriteBlocks(size, cells, mask));

  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->data("application/x-kelvor-0301"), QByteArray("\3\0\0\0\2\0\0\0", 8));
  EXPECT_EQ(data->data("application/x-kelvor-0303"), QByteArray("\1\0\0\0\0\1", 6));

  const ClipboardBlocks read = clipboard.ReadBlocks();
  ASSERT_TRUE(read.HasAll());
  EXPECT_EQ(*read.blockSize, size);
  EXPECT_EQ(*read.blockCells, cells);
  EXPECT_EQ(*read.blockMask, mask);
}

TEST_F(QtClipboardTest, ForeignDataGivesOnlyTheBlocksItHolds) {
  QGuiApplication::clipboard()->setText(QStringLiteral("from another program"));
  EXPECT_FALSE(clipboard.ReadBlocks().blockSize.has_value());
  EXPECT_FALSE(clipboard.ReadBlocks().blockCells.has_value());

  // Another program offering one of our types but not the rest.
  auto* partial = new QMimeData;
  partial->setData(QStringLiteral("application/x-kelvor-0301"), QByteArray("\1\0\0\0\1\0\0\0", 8));
  QGuiApplication::clipboard()->setMimeData(partial);
  const ClipboardBlocks read = clipboard.ReadBlocks();
  EXPECT_TRUE(read.blockSize.has_value());
  EXPECT_FALSE(read.HasAll());
}

TEST_F(QtClipboardTest, EmptyClearsOurBlocksButNotWhatTheUserCopiedSince) {
  ASSERT_TRUE(clipboard.WriteBlocks({1, 0, 0, 0, 1, 0, 0, 0}, {1, 0, 0, 0}, {1}));
  clipboard.Empty();
  EXPECT_FALSE(clipboard.ReadBlocks().blockSize.has_value());

  QGuiApplication::clipboard()->setText(QStringLiteral("notes"));
  clipboard.Empty();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("notes"));
}

TEST_F(QtClipboardTest, CopyAndPasteOfTheEditorGoThroughIt) {
  MapGrid grid;
  grid.Allocate(6, 6);
  SelectionState selection;
  selection.hasFlags = true;
  selection.selectionFlags.assign(36, 0);
  // Cells (2,2) and (4,3) selected: a 3 x 2 block with two mask bytes set.
  grid.At(2, 2) = 0x00011001;
  grid.At(4, 3) = 0x80000202;
  grid.At(3, 2) = 0x00000005;  // inside the box but not selected
  selection.selectionFlags[2 + 2 * 6] = 1;
  selection.selectionFlags[4 + 3 * 6] = 1;
  ASSERT_TRUE(CopySelection(grid, selection, clipboard));
  const ClipboardBlocks blocks = clipboard.ReadBlocks();
  ASSERT_TRUE(blocks.HasAll());
  EXPECT_EQ(*blocks.blockSize, (Bytes{3, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(*blocks.blockMask, (Bytes{1, 0, 0, 0, 0, 1}));

  MapGrid target;
  target.Allocate(4, 4);
  PasteBlock paste;
  UndoHistory undo;
  ResetUndo(undo);
  ASSERT_TRUE(PasteAt(target, paste, undo, clipboard, 1, 1));
  EXPECT_EQ(target.At(1, 1), MapCell{0x00011001});
  EXPECT_EQ(target.At(3, 2), MapCell{0x80000202});
  EXPECT_EQ(target.At(2, 1), MapCell{0});
}

}  // namespace
}  // namespace kelvor
