#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <filesystem>

#include "app/palette_window.h"
#include "editor_fixture.h"
#include "resources/menu_tables.h"

namespace kelvor::test {
namespace {

using MapWindowTest = EditorFixture;

TEST_F(MapWindowTest, CaptionAtStartAndAfterStamping) {
  StartEditor();
  EXPECT_EQ(window->windowTitle().toStdString(),
            "Kelvor    使用ﾁｯﾌﾟ数：  0/255(背景),   0/255(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数： 0/256");
  EXPECT_EQ(window->paletteWindow()->windowTitle().toStdString(), "ﾁｯﾌﾟ配置");
  EXPECT_TRUE(messages.shown.empty());
  NewMap(20, 15);
  MarkChips({{1, 0}, {2, 4}});
  Click(mapViewport(), CellCenter(3, 3));
  EXPECT_EQ(window->windowTitle().toStdString(),
            "Kelvor    使用ﾁｯﾌﾟ数：  1/255(背景),   1/255(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数： 1/256");
}

TEST_F(MapWindowTest, StampKeepsTheArrangementOfMarkedChips) {
  StartEditor();
  NewMap(20, 15);
  MarkChips({{3, 2}, {4, 2}, {3, 4}});
  Click(mapViewport(), CellCenter(10, 10));
  EXPECT_EQ(ChipAt(10, 10, LevelBackground), QPoint(3, 2));
  EXPECT_EQ(ChipAt(11, 10, LevelBackground), QPoint(4, 2));
  EXPECT_EQ(ChipAt(10, 12, LevelLayer), QPoint(3, 4));  // half transparent: layer level
  EXPECT_EQ(ChipAt(10, 12, LevelBackground), QPoint(-1, -1));
  EXPECT_EQ(ChipAt(11, 11, LevelBackground), QPoint(-1, -1));
  // One click is one undo step, both levels included.
  window->RunCommand(CommandUndo);
  EXPECT_EQ(Cell(10, 10), 0u);
  EXPECT_EQ(Cell(10, 12), 0u);
}

TEST_F(MapWindowTest, StampPartsBeyondTheMapAreDropped) {
  StartEditor();
  NewMap(12, 12);
  MarkChips({{3, 2}, {4, 2}, {3, 4}});
  Click(mapViewport(), CellCenter(11, 10));
  EXPECT_EQ(ChipAt(11, 10, LevelBackground), QPoint(3, 2));
  for (int32_t row = 0; row < 12; ++row) {
    EXPECT_EQ(CellLayer(Cell(11, row)), 0) << row;
  }
}

TEST_F(MapWindowTest, DragStrokeIsOneUndoStep) {
  StartEditor();
  NewMap(20, 15);
  MarkChips({{0, 0}});
  QWidget* view = mapViewport();
  Press(view, CellCenter(1, 1));
  for (QPoint cell : {QPoint(2, 1), QPoint(3, 1), QPoint(3, 2), QPoint(3, 3)}) {
    Move(view, CellCenter(cell.x(), cell.y()), Qt::LeftButton);
  }
  Release(view, CellCenter(3, 3));
  for (QPoint cell : {QPoint(1, 1), QPoint(2, 1), QPoint(3, 1), QPoint(3, 2), QPoint(3, 3)}) {
    EXPECT_EQ(ChipAt(cell.x(), cell.y(), LevelBackground), QPoint(0, 0)) << cell.x() << cell.y();
  }
  // Dragging out of the view stops the stroke: the edge cells stay empty.
  Press(view, CellCenter(6, 6));
  Move(view, QPoint(-20, 6 * 32 + 16), Qt::LeftButton);
  Move(view, QPoint(6 * 32 + 16, view->height() + 40), Qt::LeftButton);
  Release(view, QPoint(-20, 6 * 32 + 16));
  EXPECT_EQ(Cell(0, 6), 0u);
  EXPECT_EQ(Cell(6, 14), 0u);
  window->RunCommand(CommandUndo);
  // Moving without the button places nothing.
  Move(view, CellCenter(5, 5), Qt::NoButton);
  EXPECT_EQ(Cell(5, 5), 0u);
  window->RunCommand(CommandUndo);
  for (QPoint cell : {QPoint(1, 1), QPoint(2, 1), QPoint(3, 3)}) {
    EXPECT_EQ(Cell(cell.x(), cell.y()), 0u);
  }
  window->RunCommand(CommandRedo);
  EXPECT_EQ(ChipAt(3, 2, LevelBackground), QPoint(0, 0));
}

TEST_F(MapWindowTest, UndoMenuStateIsPushedWhenTheHistoryChanges) {
  StartEditor();
  NewMap(20, 15);
  QAction* undo = window->menus().FindAction(CommandUndo);
  QAction* redo = window->menus().FindAction(CommandRedo);
  ASSERT_NE(undo, nullptr);
  EXPECT_FALSE(undo->isEnabled());
  MarkChips({{0, 0}});
  Click(mapViewport(), CellCenter(0, 0));
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  window->RunCommand(CommandUndo);
  EXPECT_TRUE(redo->isEnabled());
}

TEST_F(MapWindowTest, UndoAndRedoKeysDoNothingWhileTheirItemsAreGrey) {
  StartEditor();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  NewMap(4, 4);
  MarkChips({{0, 0}});
  Click(mapViewport(), CellCenter(1, 1));
  const MapCell stamped = Cell(1, 1);
  ASSERT_NE(stamped, 0u);
  const std::filesystem::path sheet = dir.path() / "map_chip" / "tiles.png";
  auto reloadSheets = [this] { window->paletteWindow()->RunCommand(CommandReloadSheets); };

  // Without sheets the Edit popup greys both items, and the keys obey them.
  std::filesystem::remove(sheet);
  reloadSheets();
  QTest::keyClick(mapViewport(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(1, 1), stamped);
  EXPECT_FALSE(window->menus().FindAction(CommandUndo)->isEnabled());
  // Back with sheets, they stay grey until the history next changes.
  WriteTestSheet(sheet.string());
  reloadSheets();
  QTest::keyClick(mapViewport(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(1, 1), stamped);
  MarkChips({{0, 0}});
  Click(mapViewport(), CellCenter(2, 2));
  QTest::keyClick(mapViewport(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(2, 2), 0u);
  QTest::keyClick(mapViewport(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_NE(Cell(2, 2), 0u);
}

TEST_F(MapWindowTest, HeldLettersEraseChips) {
  StartEditor();
  NewMap(10, 10);
  for (int32_t row = 0; row < 10; ++row) {
    for (int32_t column = 0; column < 10; ++column) {
      ws.document.grid.At(column, row) = WithLayer(WithBackground(CellFlagCollision, 1), 2);
    }
  }
  QWidget* view = mapViewport();
  // B erases the background of the clicked and dragged-over cells.
  QTest::keyPress(view, Qt::Key_B);
  Press(view, CellCenter(1, 1));
  Move(view, CellCenter(2, 1), Qt::LeftButton);
  Release(view, CellCenter(2, 1));
  QTest::keyRelease(view, Qt::Key_B);
  for (int32_t column : {1, 2}) {
    EXPECT_EQ(CellBackground(Cell(column, 1)), 0);
    EXPECT_EQ(CellLayer(Cell(column, 1)), 2);
    EXPECT_TRUE(Cell(column, 1) & CellFlagCollision);
  }
  EXPECT_EQ(CellBackground(Cell(3, 1)), 1);
  // B and L together erase both levels.
  QTest::keyPress(view, Qt::Key_B);
  QTest::keyPress(view, Qt::Key_L);
  Click(view, CellCenter(5, 5));
  QTest::keyRelease(view, Qt::Key_L);
  QTest::keyRelease(view, Qt::Key_B);
  EXPECT_EQ(Cell(5, 5), CellFlagCollision);
  // With the keys released a click places again (nothing marked: nothing changes).
  Click(view, CellCenter(6, 6));
  EXPECT_EQ(CellBackground(Cell(6, 6)), 1);
}

TEST_F(MapWindowTest, HeldLettersAreaErase) {
  StartEditor();
  NewMap(6, 6);
  // Background 1 on the left half, 3 on the right; layer 2 everywhere.
  for (int32_t row = 0; row < 6; ++row) {
    for (int32_t column = 0; column < 6; ++column) {
      ws.document.grid.At(column, row) = WithLayer(WithBackground(0, column < 3 ? 1 : 3), 2);
    }
  }
  QWidget* view = mapViewport();
  QTest::keyPress(view, Qt::Key_K);
  Click(view, CellCenter(0, 0));
  QTest::keyRelease(view, Qt::Key_K);
  EXPECT_EQ(CellBackground(Cell(2, 5)), 0);
  EXPECT_EQ(CellBackground(Cell(3, 0)), 3);
  EXPECT_EQ(CellLayer(Cell(2, 5)), 2);
  QTest::keyPress(view, Qt::Key_Y);
  Click(view, CellCenter(5, 5));
  QTest::keyRelease(view, Qt::Key_Y);
  for (int32_t row = 0; row < 6; ++row) {
    for (int32_t column = 0; column < 6; ++column) EXPECT_EQ(CellLayer(Cell(column, row)), 0);
  }
  window->RunCommand(CommandUndo);
  EXPECT_EQ(CellLayer(Cell(4, 4)), 2);
}

TEST_F(MapWindowTest, CollisionModePaintsWallsAndCells) {
  StartEditor();
  NewMap(10, 10);
  window->paletteWindow()->RunCommand(CommandPaletteModeFirst + 2);  // collision
  EXPECT_EQ(window->paletteWindow()->windowTitle().toStdString(), "当たり判定");
  QWidget* view = mapViewport();
  Click(view, QPoint(5 * 32 + 4, 5 * 32 + 16));  // left side zone of cell (5, 5)
  EXPECT_EQ(Cell(4, 5) & CellFlagWallEast, CellFlagWallEast);
  EXPECT_EQ(Cell(5, 5) & CellFlagCollision, 0u);
  Click(view, QPoint(0 * 32 + 4, 5 * 32 + 16));  // same zone on the map border
  EXPECT_EQ(Cell(0, 5) & CellFlagCollision, CellFlagCollision);
  Click(view, QPoint(7 * 32 + 4, 7 * 32 + 4));  // a corner toggles the whole cell
  EXPECT_EQ(Cell(7, 7) & CellFlagCollision, CellFlagCollision);
  Click(view, QPoint(7 * 32 + 16, 7 * 32 + 30));  // bottom side
  EXPECT_EQ(Cell(7, 7) & CellFlagWallSouth, CellFlagWallSouth);
  // No undo step for flag painting.
  EXPECT_FALSE(window->menus().FindAction(CommandUndo)->isEnabled());
}

TEST_F(MapWindowTest, CtrlDragSelectionCopyAndPaste) {
  StartEditor();
  NewMap(20, 15);
  for (int32_t row = 0; row < 15; ++row) {
    for (int32_t column = 0; column < 20; ++column) {
      ws.document.grid.At(column, row) = WithBackground(0, static_cast<uint8_t>(column + 1));
    }
  }
  QWidget* view = mapViewport();
  QTest::keyPress(view, Qt::Key_Control);
  Click(view, CellCenter(2, 2), Qt::ControlModifier);
  Click(view, CellCenter(4, 3), Qt::ControlModifier);
  QTest::keyRelease(view, Qt::Key_Control);
  QTest::keyClick(view, Qt::Key_C);
  const ClipboardBlocks blocks = clipboard.ReadBlocks();
  ASSERT_TRUE(blocks.HasAll());
  EXPECT_EQ(*blocks.blockSize, (std::vector<uint8_t>{3, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(*blocks.blockMask, (std::vector<uint8_t>{1, 0, 0, 0, 0, 1}));
  // Copying clears the selection.
  for (uint8_t flag : ws.selection.selectionFlags) ASSERT_EQ(flag, 0);

  const MapCell untouched = Cell(11, 10);
  QTest::keyPress(view, Qt::Key_V);
  Click(view, CellCenter(10, 10));
  QTest::keyRelease(view, Qt::Key_V);
  EXPECT_EQ(Cell(10, 10), WithBackground(0, 3));
  EXPECT_EQ(Cell(12, 11), WithBackground(0, 5));
  EXPECT_EQ(Cell(11, 10), untouched);

  // A Ctrl-drag selects a rectangle; X cuts it as one undo step.
  Press(view, CellCenter(6, 6), Qt::ControlModifier);
  Move(view, CellCenter(7, 7), Qt::LeftButton, Qt::ControlModifier);
  Release(view, CellCenter(7, 7), Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_X);
  EXPECT_EQ(Cell(6, 6), 0u);
  EXPECT_EQ(Cell(7, 7), 0u);
  EXPECT_EQ(Cell(8, 7), WithBackground(0, 9));
  window->RunCommand(CommandUndo);
  EXPECT_EQ(Cell(7, 7), WithBackground(0, 8));
}

TEST_F(MapWindowTest, CopyWithoutAMapDoesNothing) {
  StartEditor();
  QTest::keyClick(mapViewport(), Qt::Key_C);
  QTest::keyClick(mapViewport(), Qt::Key_X);
  EXPECT_FALSE(clipboard.ReadBlocks().blockSize.has_value());
}

TEST_F(MapWindowTest, ContextMenuErasesAtTheRightClickPoint) {
  StartEditor();
  NewMap(10, 10);
  for (int32_t row = 0; row < 10; ++row) {
    for (int32_t column = 0; column < 10; ++column) {
      ws.document.grid.At(column, row) = WithLayer(WithBackground(0, 1), 2);
    }
  }
  QWidget* view = mapViewport();
  Press(view, CellCenter(6, 4), {}, Qt::RightButton);
  Release(view, CellCenter(6, 4), {}, Qt::RightButton);
  EXPECT_EQ(ws.input.rightClickPoint, (PixelPoint{6 * 32 + 16, 4 * 32 + 16}));
  QMenu* menu = window->BuildContextMenu();
  ASSERT_EQ(menu->actions().size(), 9);
  for (QAction* action : menu->actions()) EXPECT_TRUE(action->isEnabled());
  EXPECT_EQ(menu->actions()[0]->text().toStdString(), "背景ﾁｯﾌﾟ削除(&B)\t[B]+Click");
  menu->actions()[0]->trigger();
  delete menu;
  EXPECT_EQ(Cell(6, 4), WithLayer(0, 2));
  EXPECT_EQ(Cell(5, 4), WithLayer(WithBackground(0, 1), 2));
  window->RunCommand(CommandPopupEraseFirst + 3);  // layer area erase from the same cell
  EXPECT_EQ(CellLayer(Cell(0, 0)), 0);
  window->RunCommand(CommandUndo);
  EXPECT_EQ(CellLayer(Cell(0, 0)), 2);
}

TEST_F(MapWindowTest, ContextMenuIsGreyWithoutAMap) {
  StartEditor();
  QMenu* menu = window->BuildContextMenu();
  for (QAction* action : menu->actions()) EXPECT_FALSE(action->isEnabled());
  delete menu;
}

TEST_F(MapWindowTest, MenuStatesFollowMapAndDocument) {
  StartEditor();
  auto enabled = [this](int32_t id) { return window->menus().FindAction(id)->isEnabled(); };
  window->PreparePopup(0);
  window->PreparePopup(1);
  window->PreparePopup(4);
  EXPECT_TRUE(enabled(CommandNew));
  EXPECT_FALSE(enabled(CommandSave));
  EXPECT_FALSE(enabled(CommandSaveAs));
  EXPECT_FALSE(enabled(CommandFillWholeMap));
  EXPECT_FALSE(enabled(CommandMapZoomFirst));
  EXPECT_TRUE(enabled(CommandLineMode));
  NewMap(20, 15);
  window->PreparePopup(0);
  window->PreparePopup(1);
  window->PreparePopup(4);
  EXPECT_TRUE(enabled(CommandSave));  // a new map has no file: Save asks for one
  EXPECT_TRUE(enabled(CommandSaveAs));
  EXPECT_TRUE(enabled(CommandFillWholeMap));
  EXPECT_TRUE(enabled(CommandOptimizeChipSet));
  EXPECT_TRUE(enabled(CommandMapZoomFirst));
}

TEST_F(MapWindowTest, ZoomCommandsMoveTheRadioMark) {
  StartEditor();
  NewMap(20, 15);
  window->RunCommand(CommandMapZoomFirst + 4);
  EXPECT_EQ(ws.display.mapZoom, 1.5f);
  window->PreparePopup(4);
  for (int32_t id = CommandMapZoomFirst; id <= CommandMapZoomLast; ++id) {
    EXPECT_EQ(window->menus().FindAction(id)->isChecked(), id == CommandMapZoomFirst + 4) << id;
  }
  EXPECT_EQ(window->menus().FindAction(CommandMapZoomFirst + 4)->text().toStdString(), "150%(&j)");
  PaletteWindow* palette = window->paletteWindow();
  palette->RunCommand(CommandPaletteZoomFirst);
  EXPECT_EQ(ws.display.paletteZoom, 0.5f);
  emit palette->menus().popup(4)->aboutToShow();
  EXPECT_TRUE(palette->menus().FindAction(CommandPaletteZoomFirst)->isChecked());
  EXPECT_FALSE(palette->menus().FindAction(CommandPaletteZoomFirst + 2)->isChecked());
}

TEST_F(MapWindowTest, FillModeRadioAndViewChecks) {
  StartEditor();
  window->RunCommand(CommandFillMode);
  window->PreparePopup(1);
  EXPECT_TRUE(window->menus().FindAction(CommandFillMode)->isChecked());
  EXPECT_FALSE(window->menus().FindAction(CommandLineMode)->isChecked());
  window->RunCommand(CommandShowGrid);
  window->PreparePopup(3);
  EXPECT_FALSE(window->menus().FindAction(CommandShowGrid)->isChecked());
  EXPECT_TRUE(window->menus().FindAction(CommandShowLayer)->isChecked());
  EXPECT_TRUE(window->menus().FindAction(CommandTogglePalette)->isChecked());
}

TEST_F(MapWindowTest, SpaceTogglesFillModeFromEitherWindow) {
  StartEditor();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(mapViewport(), Qt::Key_Space);
  EXPECT_TRUE(ws.edit.fillMode);
  PaletteWindow* palette = window->paletteWindow();
  palette->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(palette));
  QTest::keyClick(paletteViewport(), Qt::Key_Space);
  EXPECT_FALSE(ws.edit.fillMode);
  // Ctrl+Z from the palette reaches the map window's Undo.
  NewMap(4, 4);
  MarkChips({{0, 0}});
  Click(mapViewport(), CellCenter(1, 1));
  ASSERT_NE(Cell(1, 1), 0u);
  QTest::keyClick(paletteViewport(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(1, 1), 0u);
  QTest::keyClick(paletteViewport(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_NE(Cell(1, 1), 0u);
}

TEST_F(MapWindowTest, AreaModeStampFillsTheRegion) {
  StartEditor();
  NewMap(5, 5);
  MarkChips({{2, 1}});
  window->RunCommand(CommandToggleFillMode);
  Click(mapViewport(), CellCenter(2, 2));
  for (int32_t row = 0; row < 5; ++row) {
    for (int32_t column = 0; column < 5; ++column) {
      EXPECT_EQ(ChipAt(column, row, LevelBackground), QPoint(2, 1));
    }
  }
}

TEST_F(MapWindowTest, MouseGateSwallowsTheFirstClickAfterOpen) {
  StartEditor();
  NewMap(10, 10);
  MarkChips({{0, 0}});
  window->RunCommand(CommandOpen);
  EXPECT_EQ(dialogs.calls, std::vector<std::string>{"open"});
  EXPECT_FALSE(ws.input.mouseEnabled);
  Click(mapViewport(), CellCenter(2, 2));  // press ignored, release opens the gate
  EXPECT_EQ(Cell(2, 2), 0u);
  EXPECT_TRUE(ws.input.mouseEnabled);
  Click(mapViewport(), CellCenter(2, 2));
  EXPECT_NE(Cell(2, 2), 0u);
}

TEST_F(MapWindowTest, DialogCommandsGoToTheDialogs) {
  StartEditor();
  window->RunCommand(CommandNew);
  window->RunCommand(CommandResizeMap);
  window->RunCommand(CommandMapColorFirst + 4);
  window->RunCommand(CommandAbout);
  window->paletteWindow()->RunCommand(CommandChipFolder);
  window->paletteWindow()->RunCommand(CommandTransparency);
  window->paletteWindow()->RunCommand(CommandPaletteColorFirst + 3);
  EXPECT_EQ(dialogs.calls, (std::vector<std::string>{"new", "resize", "color", "about", "folder",
                                                     "transparency", "color"}));
  EXPECT_EQ(ws.display.mapBackgroundColor, dialogs.chosenColor);
  EXPECT_EQ(ws.display.paletteBackgroundColor, dialogs.chosenColor);
  // Save As without a map has nothing to save.
  window->RunCommand(CommandSaveAs);
  EXPECT_EQ(dialogs.calls.size(), 7u);
}

TEST_F(MapWindowTest, ClearFlagCommandsAskFirst) {
  StartEditor();
  NewMap(3, 3);
  ws.document.grid.At(1, 1) = CellFlagCollision | CellFlagPriority;
  messages.answer = false;
  window->RunCommand(CommandClearCollision);
  EXPECT_EQ(Cell(1, 1), CellFlagCollision | CellFlagPriority);
  messages.answer = true;
  window->RunCommand(CommandClearCollision);
  EXPECT_EQ(Cell(1, 1), CellFlagPriority);
  window->RunCommand(CommandClearPriority);
  EXPECT_EQ(Cell(1, 1), 0u);
  ASSERT_EQ(messages.asked.size(), 3u);
  EXPECT_EQ(messages.asked[0].text, std::string(texts::ConfirmClearCollision));
  EXPECT_EQ(messages.asked[2].text, std::string(texts::ConfirmClearPriority));
  EXPECT_EQ(messages.asked[2].caption, "Kelvor");
}

TEST_F(MapWindowTest, PaletteCloseBoxOnlyHides) {
  StartEditor();
  PaletteWindow* palette = window->paletteWindow();
  ASSERT_TRUE(palette->isVisible());
  palette->close();
  EXPECT_FALSE(palette->isVisible());
  EXPECT_EQ(window->paletteWindow(), palette);
  window->PreparePopup(3);
  EXPECT_FALSE(window->menus().FindAction(CommandTogglePalette)->isChecked());
  window->RunCommand(CommandTogglePalette);
  EXPECT_TRUE(palette->isVisible());
  window->RunCommand(CommandTogglePalette);
  EXPECT_FALSE(palette->isVisible());
}

TEST_F(MapWindowTest, AltLetterOpensTheMenuOfTheActiveWindow) {
  // Both menu bars have 設定(&S) and 色(&C); the palette's own must open
  // while the palette is the active window, the map's while the map is.
  StartEditor();
  struct Case {
    QMainWindow* active;
    MenuBinding& menus;
    Qt::Key key;
    size_t popup;
  };
  PaletteWindow* palette = window->paletteWindow();
  const Case cases[] = {
      {palette, palette->menus(), Qt::Key_C, 5},     {palette, palette->menus(), Qt::Key_S, 3},
      {palette, palette->menus(), Qt::Key_D, 2},     {window.get(), window->menus(), Qt::Key_C, 5},
      {window.get(), window->menus(), Qt::Key_S, 2},
  };
  for (const Case& c : cases) {
    c.active->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(c.active));
    QTest::keyClick(c.active, c.key, Qt::AltModifier);
    QWidget* shown = QApplication::activePopupWidget();
    EXPECT_EQ(shown, c.menus.popup(c.popup))
        << c.active->objectName().toStdString() << " " << c.key;
    // Opened from the keyboard: the first item is highlighted, so Return runs it.
    if (shown) {
      EXPECT_EQ(c.menus.popup(c.popup)->activeAction(), c.menus.popup(c.popup)->actions().front());
      shown->close();
    }
  }
}

TEST_F(MapWindowTest, QuitQuestionNoLeavesEverything) {
  StartEditor();
  NewMap(4, 4);
  clipboard.WriteBlocks({1}, {2}, {3});
  messages.answer = false;
  window->RunCommand(CommandExit);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(ws.document.grid.Exists());
  EXPECT_TRUE(clipboard.ReadBlocks().HasAll());
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].text, "終了しますか？");
  messages.answer = true;
  window->RunCommand(CommandExit);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(ws.document.grid.Exists());
  EXPECT_FALSE(clipboard.ReadBlocks().blockSize.has_value());
  window.reset();
}

TEST_F(MapWindowTest, MissingChipFolderIsReportedOnce) {
  StartEditor(Chips::NoFolder);
  ASSERT_EQ(messages.shown.size(), 1u);
  const std::string folder = (dir.path() / "map_chip").string();
  EXPECT_EQ(messages.shown[0].text,
            "チップセット フォルダがありません\n[設定]で指定してください\n" + folder);
  EXPECT_EQ(messages.shown[0].caption, "Kelvor");
  // Only the reload item, the separator and the empty placeholder.
  const QList<QAction*> items = window->paletteWindow()->menus().popup(0)->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[2]->data().toInt(), CommandSheetFirst);
  EXPECT_TRUE(items[2]->text().isEmpty());
  // Without sheets every Edit item is grey, Undo and Redo included.
  NewMap(4, 4);
  window->PreparePopup(1);
  for (QAction* action : window->menus().popup(1)->actions()) {
    if (!action->isSeparator()) {
      EXPECT_FALSE(action->isEnabled()) << action->data().toInt();
    }
  }
}

TEST_F(MapWindowTest, SheetMenuListsTheSheetsBackwards) {
  TestApplication();
  std::filesystem::create_directories(dir.path() / "map_chip");
  WriteTestSheet((dir.path() / "map_chip" / "second.png").string());
  StartEditor();
  ASSERT_EQ(ws.sheets.sheetCount, 2);
  PaletteWindow* palette = window->paletteWindow();
  const QList<QAction*> items = palette->menus().popup(0)->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[2]->data().toInt(), 40037);
  EXPECT_EQ(items[2]->text().toStdString(), ws.sheets.sheets[0].fileName);
  EXPECT_EQ(items[3]->data().toInt(), 40036);
  EXPECT_EQ(items[3]->text().toStdString(), ws.sheets.sheets[1].fileName);
  items[3]->trigger();
  EXPECT_EQ(ws.sheets.currentSheet, 1);
  emit palette->menus().popup(0)->aboutToShow();
  EXPECT_TRUE(palette->menus().FindAction(40036)->isChecked());
  EXPECT_FALSE(palette->menus().FindAction(40037)->isChecked());
}

}  // namespace
}  // namespace kelvor::test
