// The status line and the overview in the real windows on an X server, moved
// by real pointer events (xdotool goes through the server's XTEST, so Qt sees
// them exactly as it sees a user's mouse). Run by x_status_overview.sh on a
// private Xvfb; without a display it skips.
#include <QLabel>
#include <QProcess>
#include <QStatusBar>

#include "../app/editor_fixture.h"
#include "app/overview_window.h"
#include "resources/menu_tables.h"

namespace kelvor::test {
namespace {

class RealPointerTest : public EditorFixture {
 protected:
  void SetUp() override {
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != "xcb" || qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "needs an X display (run through x_status_overview.sh)";
  }

  // Moves the real pointer to a point of a widget, then clicks when asked.
  static void Pointer(QWidget* widget, QPoint point, bool click) {
    const QPoint global = widget->mapToGlobal(point);
    QStringList arguments = {"mousemove", "--sync", QString::number(global.x()),
                             QString::number(global.y())};
    if (click)
      arguments << "click"
                << "1";
    ASSERT_EQ(QProcess::execute("xdotool", arguments), 0);
  }

  // Lets the events arrive until the text is there (or two seconds pass).
  static std::string WaitForText(QLabel* label, const std::string& expected) {
    static_cast<void>(
        QTest::qWaitFor([&] { return label->text().toStdString() == expected; }, 2000));
    return label->text().toStdString();
  }
};

TEST_F(RealPointerTest, StatusLineNamesTheCellAndAnOverviewClickMovesTheView) {
  StartEditor();
  NewMap(256, 256);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  MarkChips({{1, 0}});

  // A real click stamps (3, 4); resting there, the line names that cell.
  Pointer(mapViewport(), CellCenter(3, 4), true);
  const std::string stamped =
      "3, 4    背景 1：tiles.png (1, 0)    ﾚｲﾔｰ：なし    ﾌﾗｸﾞ：なし    256 x 256    100%    "
      "（名前なし）    変更あり";
  EXPECT_EQ(WaitForText(window->statusText(), stamped), stamped);
  Pointer(mapViewport(), CellCenter(6, 2), false);
  const std::string empty =
      "6, 2    背景：なし    ﾚｲﾔｰ：なし    ﾌﾗｸﾞ：なし    256 x 256    100%    （名前なし）    "
      "変更あり";
  EXPECT_EQ(WaitForText(window->statusText(), empty), empty);

  // A real click at picture pixel (128, 200) centres the map on that cell.
  window->RunCommand(CommandOverview);
  OverviewWindow* overview = window->overview();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(overview));
  Pointer(overview, overview->pictureOrigin() + QPoint(128, 200), true);
  const ViewScroll& scroll = window->scroll();
  const auto centre = [&] {
    return std::pair(scroll.scrollX + static_cast<int32_t>(scroll.horizontal.page / 2),
                     scroll.scrollY + static_cast<int32_t>(scroll.vertical.page / 2));
  };
  const std::pair<int32_t, int32_t> expected(128 * 32 + 16, 200 * 32 + 16);
  static_cast<void>(QTest::qWaitFor([&] { return centre() == expected; }, 2000));
  EXPECT_EQ(centre(), expected);
}

}  // namespace
}  // namespace kelvor::test
