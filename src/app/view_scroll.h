#pragma once

#include <cstdint>

#include "document/view_port.h"

namespace kelvor {

struct Workspace;

// One scroll bar as the view asks for it: range min..max (max = content
// extent - 1), page = client extent, pos = the position last requested.
// The requested position is kept even while the bar cannot reach it, so a
// zoom change that shrinks the content and a change back restore the view.
struct ScrollBarState {
  int32_t min = 0;
  int32_t max = 0;
  uint32_t page = 0;
  int32_t pos = 0;
};

// The position a bar actually takes: `pos` clamped to 0..max - page + 1.
int32_t ClampedScrollPosition(const ScrollBarState& bar);
// A bar is shown only while the content is larger than the client extent.
bool ScrollBarVisible(const ScrollBarState& bar);

enum class ScrollAxis { Horizontal, Vertical };

enum class ScrollRequest {
  LineBack,     // arrow left / up
  LineForward,  // arrow right / down
  PageBack,
  PageForward,
  Thumb,  // drag or wheel: go to the given position
  ToStart,
  ToEnd,
  None,  // end of a scroll gesture: nothing moves
};

// The scroll model of one view (the map or the palette). It knows nothing of
// widgets: the window applies `horizontal` and `vertical` to its bars and
// shows its content shifted by (scrollX, scrollY).
class ViewScroll {
 public:
  // Every change is written through to `port` (offsets and page sizes), the
  // record the core reads; null while unbound.
  explicit ViewScroll(ViewPort* port = nullptr) : port_(port) {}
  void Bind(ViewPort* port);

  ScrollBarState horizontal;
  ScrollBarState vertical;
  int32_t scrollX = 0;  // content offset shown at the client's left edge
  int32_t scrollY = 0;

  // Every range, page and position back to zero.
  void Init();
  // A new client size. Sizes below 1 (a minimised window) change nothing.
  // When the user resized the window, an axis whose content fits forgets its
  // requested position; a client that only grew because a bar went away
  // (`userResize` false) keeps it, so a zoom out and back restores the view.
  // True when an offset changed.
  bool UpdatePage(int32_t clientWidth, int32_t clientHeight, bool userResize = true);
  // New content extents; the requested positions are asked for again.
  bool SetContentSize(int32_t contentWidth, int32_t contentHeight);
  // Both ranges collapse to zero; the requested positions stay.
  bool ResetRange();
  // A scroll-bar request on one axis. True when the offset moved.
  bool Scroll(ScrollAxis axis, ScrollRequest request, int32_t thumbPosition = 0);

  bool HorizontalVisible() const { return ScrollBarVisible(horizontal); }
  bool VerticalVisible() const { return ScrollBarVisible(vertical); }

  // Offsets and page sizes into the view record the core reads.
  void WriteTo(ViewPort& view) const;

 private:
  bool Publish(int32_t oldX, int32_t oldY);
  ViewPort* port_ = nullptr;
};

// Map content extent in view pixels at the current zoom.
int32_t MapContentWidth(const Workspace& workspace);
int32_t MapContentHeight(const Workspace& workspace);

// After the map size or the map zoom changed: new ranges for the map view,
// then the visible cell counts. Nothing while there is no map.
void RefreshMapExtent(Workspace& workspace, ViewScroll& scroll);

// After the current sheet or the palette zoom changed. Nothing while the
// current sheet has no image. The requested offsets survive, limited to the
// new extent.
void RefreshPaletteExtent(Workspace& workspace, ViewScroll& scroll);

// visibleColumns / visibleRows of the map view from the page sizes.
void RecountVisibleCells(Workspace& workspace);

}  // namespace kelvor
