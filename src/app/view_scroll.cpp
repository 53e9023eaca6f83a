#include "app/view_scroll.h"

#include <algorithm>
#include <cstdlib>

#include "workspace/workspace.h"

namespace kelvor {

int32_t ClampedScrollPosition(const ScrollBarState& bar) {
  const int64_t page = bar.page;
  const int64_t last = static_cast<int64_t>(bar.max) - std::max<int64_t>(page - 1, 0);
  const int64_t clamped = std::clamp<int64_t>(bar.pos, bar.min, std::max<int64_t>(last, bar.min));
  return static_cast<int32_t>(clamped);
}

bool ScrollBarVisible(const ScrollBarState& bar) {
  if (bar.max <= bar.min) return false;
  const int64_t extent = static_cast<int64_t>(bar.max) - bar.min + 1;
  return extent > static_cast<int64_t>(bar.page);
}

void ViewScroll::Bind(ViewPort* port) {
  port_ = port;
  if (port_) WriteTo(*port_);
}

bool ViewScroll::Publish(int32_t oldX, int32_t oldY) {
  if (port_) WriteTo(*port_);
  return oldX != scrollX || oldY != scrollY;
}

void ViewScroll::Init() {
  const int32_t oldX = scrollX;
  const int32_t oldY = scrollY;
  vertical = ScrollBarState{};
  horizontal = ScrollBarState{};
  scrollX = ClampedScrollPosition(horizontal);
  scrollY = ClampedScrollPosition(vertical);
  Publish(oldX, oldY);
}

bool ViewScroll::UpdatePage(int32_t clientWidth, int32_t clientHeight, bool userResize) {
  if (clientWidth < 1 || clientHeight < 1) return false;
  const int32_t oldX = scrollX;
  const int32_t oldY = scrollY;
  // Content that fits forgets where it was scrolled to, so shrinking the
  // window again starts at the left or top edge.
  horizontal.page = static_cast<uint32_t>(clientWidth);
  if (userResize && static_cast<uint32_t>(horizontal.max) <= horizontal.page) horizontal.pos = 0;
  scrollX = ClampedScrollPosition(horizontal);
  vertical.page = static_cast<uint32_t>(clientHeight);
  if (userResize && static_cast<uint32_t>(vertical.max) <= vertical.page) vertical.pos = 0;
  scrollY = ClampedScrollPosition(vertical);
  return Publish(oldX, oldY);
}

bool ViewScroll::SetContentSize(int32_t contentWidth, int32_t contentHeight) {
  const int32_t oldX = scrollX;
  const int32_t oldY = scrollY;
  horizontal.max = contentWidth - 1;
  scrollX = ClampedScrollPosition(horizontal);
  vertical.max = contentHeight - 1;
  scrollY = ClampedScrollPosition(vertical);
  return Publish(oldX, oldY);
}

bool ViewScroll::ResetRange() {
  const int32_t oldX = scrollX;
  const int32_t oldY = scrollY;
  horizontal.max = 0;
  scrollX = ClampedScrollPosition(horizontal);
  vertical.max = 0;
  scrollY = ClampedScrollPosition(vertical);
  return Publish(oldX, oldY);
}

bool ViewScroll::Scroll(ScrollAxis axis, ScrollRequest request, int32_t thumbPosition) {
  ScrollBarState& bar = axis == ScrollAxis::Horizontal ? horizontal : vertical;
  int32_t& offset = axis == ScrollAxis::Horizontal ? scrollX : scrollY;
  const int64_t page = bar.page;
  int64_t pos = bar.pos;
  switch (request) {
    case ScrollRequest::LineBack:
      if (pos != 0) pos -= 1;
      break;
    case ScrollRequest::LineForward:
      if (pos < static_cast<int64_t>(bar.max) - 1) pos += 1;
      break;
    case ScrollRequest::PageBack:
      pos -= page;
      break;
    case ScrollRequest::PageForward:
      pos += page;
      break;
    case ScrollRequest::Thumb:
      pos = thumbPosition;
      break;
    case ScrollRequest::ToStart:
      pos = bar.min;
      break;
    case ScrollRequest::ToEnd:
      pos = bar.max;
      break;
    case ScrollRequest::None:
      break;
  }
  bar.pos = static_cast<int32_t>(std::clamp<int64_t>(pos, INT32_MIN, INT32_MAX));
  bar.pos = ClampedScrollPosition(bar);
  if (bar.pos == offset) return false;
  const int32_t oldX = scrollX;
  const int32_t oldY = scrollY;
  offset = bar.pos;
  return Publish(oldX, oldY);
}

void ViewScroll::WriteTo(ViewPort& view) const {
  view.scrollX = scrollX;
  view.scrollY = scrollY;
  view.pageWidth = static_cast<int32_t>(std::min<uint32_t>(horizontal.page, INT32_MAX));
  view.pageHeight = static_cast<int32_t>(std::min<uint32_t>(vertical.page, INT32_MAX));
}

int32_t MapContentWidth(const Workspace& ws) {
  return Zoomed(ws.document.grid.width * ChipSize, ws.display.mapZoom);
}

int32_t MapContentHeight(const Workspace& ws) {
  return Zoomed(ws.document.grid.height * ChipSize, ws.display.mapZoom);
}

void RecountVisibleCells(Workspace& ws) {
  if (!(ws.display.mapZoom > 0.0f)) return;
  const int32_t cell = Zoomed(ChipSize, ws.display.mapZoom);
  if (cell <= 0) return;
  ViewPort& view = ws.mapView();
  const MapGrid& grid = ws.document.grid;
  auto count = [cell](int32_t page, int32_t limit) {
    const int32_t cells = page / cell + (page % cell != 0 ? 1 : 0);
    return std::min(cells, limit);
  };
  view.visibleColumns = count(view.pageWidth, grid.width);
  view.visibleRows = count(view.pageHeight, grid.height);
}

void RefreshMapExtent(Workspace& ws, ViewScroll& scroll) {
  if (!ws.document.grid.Exists()) return;
  scroll.SetContentSize(MapContentWidth(ws), MapContentHeight(ws));
  scroll.WriteTo(ws.mapView());
  RecountVisibleCells(ws);
}

void RefreshPaletteExtent(Workspace& ws, ViewScroll& scroll) {
  const ChipSheet& sheet = ws.sheets.Current();
  if (!sheet.HasBitmap()) return;
  scroll.ResetRange();
  scroll.SetContentSize(Zoomed(sheet.width, ws.display.paletteZoom),
                        Zoomed(std::abs(sheet.height), ws.display.paletteZoom));
  scroll.WriteTo(ws.paletteView());
}

}  // namespace kelvor
