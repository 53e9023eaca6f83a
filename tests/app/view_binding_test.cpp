#include <QDialog>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/held_key_tracker.h"
#include "editor_fixture.h"
#include "resources/artwork.h"
#include "resources/menu_tables.h"

namespace kelvor::test {
namespace {

using ViewBindingTest = EditorFixture;

// Sizes the map window so that its view is exactly `width` x `height` while
// no bar shows.
void SizeView(MapWindow& window, int width, int height) {
  const QSize view = window.view()->size();
  window.resize(window.width() + width - view.width(), window.height() + height - view.height());
  QCoreApplication::processEvents();
}

TEST_F(ViewBindingTest, BarsFollowTheScrollModel) {
  StartEditor();
  NewMap(20, 5);  // 640 x 160 view pixels
  SizeView(*window, 400, 400);
  QScrollBar* bar = window->view()->horizontalScrollBar();
  EXPECT_EQ(window->scroll().horizontal.page, 400u);
  EXPECT_EQ(window->scroll().horizontal.max, 639);
  EXPECT_EQ(bar->maximum(), 240);
  EXPECT_EQ(bar->pageStep(), 400);
  EXPECT_FALSE(window->view()->verticalScrollBar()->isVisible());
  EXPECT_TRUE(bar->isVisible());

  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(ws.mapView().scrollX, 1);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(ws.mapView().scrollX, 240);
  EXPECT_EQ(bar->value(), 240);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(ws.mapView().scrollX, 0);

  // The requested offset survives a zoom that makes the content fit.
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  window->RunCommand(CommandMapZoomFirst + 1);  // 50 %: 320 pixels wide
  QCoreApplication::processEvents();            // the area shows and hides its bars later
  EXPECT_FALSE(window->view()->horizontalScrollBar()->isVisible());
  EXPECT_EQ(ws.mapView().scrollX, 0);
  window->RunCommand(CommandMapZoomFirst + 3);  // 100 %
  EXPECT_EQ(ws.mapView().scrollX, 240);
  EXPECT_EQ(bar->value(), 240);

  // A click on a scrolled view lands on the shifted cell.
  MarkChips({{0, 0}});
  Click(mapViewport(), QPoint(16, 16));
  EXPECT_NE(CellBackground(Cell(8, 0)), 0);  // (16 + 240) / 32
  EXPECT_EQ(CellBackground(Cell(0, 0)), 0);
}

TEST_F(ViewBindingTest, WheelAndThumbGoThroughTheModel) {
  StartEditor();
  NewMap(5, 40);  // 160 x 1280 view pixels
  SizeView(*window, 400, 300);
  QScrollBar* bar = window->view()->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  QWheelEvent wheel(QPointF(50, 50), window->view()->mapToGlobal(QPointF(50, 50)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(mapViewport(), &wheel);
  EXPECT_GT(ws.mapView().scrollY, 0);
  EXPECT_EQ(ws.mapView().scrollY, bar->value());
  bar->setSliderPosition(700);  // a thumb drag
  EXPECT_EQ(ws.mapView().scrollY, 700);
  EXPECT_EQ(window->scroll().vertical.pos, 700);
}

TEST_F(ViewBindingTest, ContentThatFitsShowsNoBars) {
  StartEditor();
  NewMap(20, 15);
  SizeView(*window, 700, 500);
  EXPECT_FALSE(window->view()->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(window->view()->verticalScrollBar()->isVisible());
  EXPECT_EQ(ws.mapView().visibleColumns, 20);
  EXPECT_EQ(ws.mapView().visibleRows, 15);
}

TEST_F(ViewBindingTest, PaletteClientIs513Square) {
  StartEditor();
  const QSize view = window->paletteWindow()->view()->size();
  EXPECT_EQ(view, QSize(513, 513));
  EXPECT_EQ(ws.paletteView().pageWidth, 513);
  EXPECT_EQ(window->paletteWindow()->x(), window->frameGeometry().right() + 1);
}

TEST_F(ViewBindingTest, HeldKeysIgnoreAutoRepeatAndForgetOnDeactivation) {
  StartEditor();
  HeldKeyTracker& tracker = window->keyTracker();
  QWidget* view = mapViewport();
  QTest::keyPress(view, Qt::Key_K);
  EXPECT_TRUE(tracker.keys().k);
  // An auto-repeated release (the key is still down) changes nothing.
  QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_K, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(view, &repeatRelease);
  EXPECT_TRUE(tracker.keys().k);
  QTest::keyRelease(view, Qt::Key_K);
  EXPECT_FALSE(tracker.keys().k);
  QTest::keyPress(view, Qt::Key_Control);
  QTest::keyPress(view, Qt::Key_Y);
  EXPECT_TRUE(tracker.keys().ctrl);
  QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
  QApplication::sendEvent(qApp, &inactive);
  EXPECT_FALSE(tracker.keys().ctrl);
  EXPECT_FALSE(tracker.keys().y);
  // A dialog opened by a key takes that key's release from the blocked
  // windows: the key is forgotten when the dialog blocks them.
  QTest::keyPress(view, Qt::Key_Control);
  QDialog dialog(window.get());
  dialog.setModal(true);
  dialog.show();
  EXPECT_FALSE(tracker.keys().ctrl);
  dialog.hide();
}

TEST_F(ViewBindingTest, PenCursorsFollowTheMode) {
  StartEditor();
  NewMap(10, 10);
  Move(mapViewport(), CellCenter(1, 1), Qt::NoButton);
  EXPECT_EQ(mapViewport()->cursor().hotSpot(), QPoint(8, 27));  // the pencil
  window->RunCommand(CommandToggleFillMode);
  EXPECT_EQ(mapViewport()->cursor().hotSpot(), QPoint(4, 15));  // the bucket
  QTest::keyPress(mapViewport(), Qt::Key_Control);
  EXPECT_EQ(mapViewport()->cursor().shape(), Qt::ArrowCursor);
  QTest::keyRelease(mapViewport(), Qt::Key_Control);
}

TEST(ArtworkTest, CursorsAndIconAreDrawn) {
  TestApplication();
  for (const QImage& image : {DrawFillCursorImage(), DrawLineCursorImage()}) {
    EXPECT_EQ(image.size(), QSize(32, 32));
    int opaque = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    EXPECT_GT(opaque, 60);
    EXPECT_LT(opaque, 32 * 32 / 2);  // a cursor, not a block
  }
  // The hot spots lie on the drawing: the bucket's paint and the pencil's point.
  EXPECT_GT(qAlpha(DrawFillCursorImage().pixel(4, 15)), 0);
  EXPECT_GT(qAlpha(DrawLineCursorImage().pixel(9, 26)), 0);
  EXPECT_EQ(FillCursor().hotSpot(), QPoint(4, 15));
  EXPECT_EQ(LineCursor().hotSpot(), QPoint(8, 27));
  EXPECT_FALSE(AppIcon().isNull());
}

}  // namespace
}  // namespace kelvor::test
