// The status line, the overview window and the zoom gesture in the real
// windows (offscreen; the X events themselves are driven in tests/e2e).
#include <QLabel>
#include <QStatusBar>
#include <QWheelEvent>

#include "app/overview_window.h"
#include "editor_fixture.h"
#include "resources/menu_tables.h"

namespace kelvor::test {
namespace {

class NavigationTest : public EditorFixture {};

std::string StatusText(QLabel* label) {
  return label->text().toStdString();
}

TEST_F(NavigationTest, StatusLinesNameWhatIsUnderThePointer) {
  StartEditor();
  NewMap(20, 15);
  MarkChips({{1, 0}});
  Click(mapViewport(), CellCenter(3, 4));
  Move(mapViewport(), CellCenter(3, 4), Qt::NoButton);
  EXPECT_EQ(StatusText(window->statusText()),
            "3, 4    背景 1：tiles.png (1, 0)    ﾚｲﾔｰ：なし    ﾌﾗｸﾞ：なし    20 x 15    100%    "
            "（名前なし）    変更あり");
  Move(mapViewport(), QPoint(-1, -1), Qt::NoButton);
  EXPECT_EQ(StatusText(window->statusText()), "20 x 15    100%    （名前なし）    変更あり");
  // Random placement says so at the end while it is on.
  window->paletteWindow()->RunCommand(CommandRandomPlacement);
  Move(mapViewport(), QPoint(-1, -1), Qt::NoButton);
  EXPECT_EQ(StatusText(window->statusText()),
            "20 x 15    100%    （名前なし）    変更あり    ﾗﾝﾀﾞﾑ配置");
  window->paletteWindow()->RunCommand(CommandRandomPlacement);
  // The palette names the chip and where it is registered.
  Move(paletteViewport(), CellCenter(1, 0), Qt::NoButton);
  EXPECT_EQ(StatusText(window->paletteWindow()->statusText()),
            "tiles.png (1, 0)    背景 1    100%");

  // The 表示 item hides both lines and shows its check mark while they show.
  window->PreparePopup(3);
  EXPECT_TRUE(window->menus().FindAction(CommandStatusBar)->isChecked());
  window->RunCommand(CommandStatusBar);
  EXPECT_TRUE(window->statusBar()->isHidden());
  EXPECT_TRUE(window->paletteWindow()->statusBar()->isHidden());
  window->PreparePopup(3);
  EXPECT_FALSE(window->menus().FindAction(CommandStatusBar)->isChecked());
}

TEST_F(NavigationTest, CtrlWheelZoomsAboutThePointerLikeTheMenu) {
  StartEditor();
  NewMap(200, 200);
  const QPoint pointer = CellCenter(5, 7);
  QWheelEvent wheel(pointer, mapViewport()->mapToGlobal(pointer), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(mapViewport(), &wheel);
  EXPECT_EQ(ws.display.mapZoom, 1.5f);
  window->PreparePopup(4);
  EXPECT_TRUE(window->menus().FindAction(CommandMapZoomFirst + 4)->isChecked());
  // Cell (5, 7) is still under the pointer, on the same pixel of it.
  EXPECT_EQ(window->scroll().scrollX + pointer.x(), (5 * 32 + 16) * 3 / 2);
  EXPECT_EQ(window->scroll().scrollY + pointer.y(), (7 * 32 + 16) * 3 / 2);
}

TEST_F(NavigationTest, OverviewFollowsEditsAndMovesTheView) {
  StartEditor();
  NewMap(256, 256);
  OverviewWindow* overview = window->overview();
  EXPECT_FALSE(overview->isVisible());
  window->RunCommand(CommandOverview);
  ASSERT_TRUE(overview->isVisible());
  window->PreparePopup(3);
  EXPECT_TRUE(window->menus().FindAction(CommandOverview)->isChecked());
  const QImage before = QImage(overview->picture().pixels().pixels.data(), 256, 256,
                               QImage::Format_ARGB32_Premultiplied)
                            .copy();
  MarkChips({{1, 0}});
  Click(mapViewport(), CellCenter(2, 2));
  window->view()->viewport()->repaint();
  const QImage after(overview->picture().pixels().pixels.data(), 256, 256,
                     QImage::Format_ARGB32_Premultiplied);
  EXPECT_NE(after.pixel(2, 2), before.pixel(2, 2));
  EXPECT_EQ(after.pixel(100, 100), before.pixel(100, 100));

  // A click at pixel (128, 200) centres the view on cell (128, 200).
  const QPoint origin = overview->pictureOrigin();
  QTest::mouseClick(overview, Qt::LeftButton, {}, origin + QPoint(128, 200));
  const ViewScroll& scroll = window->scroll();
  EXPECT_EQ(scroll.scrollX + static_cast<int32_t>(scroll.horizontal.page / 2), 128 * 32 + 16);
  EXPECT_EQ(scroll.scrollY + static_cast<int32_t>(scroll.vertical.page / 2), 200 * 32 + 16);
  // A New map replaces the picture.
  NewMap(10, 40);
  window->view()->viewport()->repaint();
  EXPECT_EQ(overview->picture().size(), (OverviewSize{64, 256}));
}

}  // namespace
}  // namespace kelvor::test
