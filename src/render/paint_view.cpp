#include "render/paint_view.h"

#include <new>

#include "render/map_view.h"
#include "render/palette_view.h"

namespace kelvor {

namespace {

// Larger than any screen; keeps a bogus size from allocating gigabytes.
constexpr int32_t MaxClientSide = 16384;

}  // namespace

PixelBuffer PaintView(const Workspace& workspace, const PaintRequest& request,
                      const CanvasFactory& makeCanvas, ScaledAtlasCache& atlases) {
  const int32_t width = request.clientWidth;
  const int32_t height = request.clientHeight;
  if (width < 1 || height < 1 || width > MaxClientSide || height > MaxClientSide || !makeCanvas) {
    return PixelBuffer();
  }
  PixelBuffer buffer;
  try {
    buffer = PixelBuffer::Make(width, height);
  } catch (const std::bad_alloc&) {
    return PixelBuffer();
  }
  std::unique_ptr<Canvas> canvas = makeCanvas(buffer);
  if (!canvas) return PixelBuffer();
  const CanvasRect client{0, 0, width, height};
  canvas->SetClip(client);
  const bool palette = request.window == ViewPalette;
  canvas->FillRect(client, palette ? workspace.display.paletteBackgroundColor
                                   : workspace.display.mapBackgroundColor);
  if (palette) {
    ComposePaletteView(workspace, *canvas, request.paletteHoldsCapture);
  } else {
    ComposeMapView(workspace, *canvas, atlases);
  }
  canvas.reset();  // finishes drawing before the picture is handed over
  return buffer;
}

}  // namespace kelvor
