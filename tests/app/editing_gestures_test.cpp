#include <QAction>
#include <QMenu>

#include "app/palette_window.h"
#include "editor_fixture.h"
#include "resources/menu_tables.h"

namespace kelvor::test {
namespace {

using EditingGesturesTest = EditorFixture;

// The letter keys and the usual keys reach the tools through the window:
// M + drag moves, Esc, Ctrl+A and Delete act on the selection.
TEST_F(EditingGesturesTest, KeysAndMoveDragThroughTheWindow) {
  StartEditor();
  NewMap(10, 10);
  ws.document.grid.At(1, 1) = WithBackground(0, 3) | CellFlagCollision;
  QWidget* view = mapViewport();
  Click(view, CellCenter(1, 1), Qt::ControlModifier);
  QTest::keyPress(view, Qt::Key_M);
  Press(view, CellCenter(1, 1));
  Move(view, CellCenter(4, 3), Qt::LeftButton);
  EXPECT_TRUE(ws.gestures.moveActive);
  Release(view, CellCenter(4, 3));
  QTest::keyRelease(view, Qt::Key_M);
  EXPECT_EQ(Cell(1, 1), 0u);
  EXPECT_EQ(Cell(4, 3), WithBackground(0, 3) | CellFlagCollision);
  EXPECT_TRUE(window->menus().FindAction(CommandUndo)->isEnabled());

  QTest::keyClick(view, Qt::Key_Escape);
  EXPECT_EQ(std::count(ws.selection.selectionFlags.begin(), ws.selection.selectionFlags.end(), 1),
            0);
  QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(std::count(ws.selection.selectionFlags.begin(), ws.selection.selectionFlags.end(), 1),
            100);
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(Cell(4, 3), CellFlagCollision);
  window->RunCommand(CommandUndo);
  EXPECT_EQ(Cell(4, 3), WithBackground(0, 3) | CellFlagCollision);
}

// Random placement is a checkable palette item whose state the palette's
// caption shows; the replace item ends the context menu and reports a count.
TEST_F(EditingGesturesTest, RandomItemCaptionAndReplaceMessage) {
  StartEditor();
  NewMap(4, 4);
  PaletteWindow* palette = window->paletteWindow();
  const QString caption = palette->windowTitle();
  palette->RunCommand(CommandRandomPlacement);
  EXPECT_TRUE(ws.gestures.randomPlacement);
  EXPECT_EQ(palette->windowTitle(), caption + " [ﾗﾝﾀﾞﾑ]");
  palette->menus().popup(1)->aboutToShow();
  EXPECT_TRUE(palette->menus().FindAction(CommandRandomPlacement)->isChecked());
  palette->RunCommand(CommandRandomPlacement);
  EXPECT_EQ(palette->windowTitle(), caption);

  MarkChips({QPoint(0, 0)});
  QMenu* menu = window->BuildContextMenu();
  ASSERT_EQ(menu->actions().back()->text().toStdString(), "このﾁｯﾌﾟを置換(&T)\t[T]+Click");
  menu->actions().back()->trigger();  // every empty cell takes the marked chip
  delete menu;
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "16 個のﾏｽを置換しました");
  EXPECT_EQ(ChipAt(3, 3, LevelBackground), QPoint(0, 0));
}

}  // namespace
}  // namespace kelvor::test
