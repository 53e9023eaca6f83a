#pragma once

#include "document/chip_sheet.h"

namespace kelvor {

// What the two views draw and how. Lives for the whole run; the document
// reset restores the two switches and the two zooms but not the colours.
struct DisplaySettings {
  bool showLayer = true;
  bool showGrid = true;  // grid in front of the chips when true, behind when false
  float mapZoom = 1.0f;
  float paletteZoom = 1.0f;
  Color mapAttrFrameColor = Rgb(255, 0, 0);
  Color mapCopyFrameColor = Rgb(0, 0, 255);
  Color mapDeselectFrameColor = Rgb(0, 255, 128);
  Color mapBorderColor = Rgb(255, 255, 0);
  Color mapBackgroundColor = Rgb(128, 128, 128);
  Color mapCollisionFrameColor = Rgb(0, 255, 255);
  Color paletteSelectFrameColor = Rgb(255, 0, 0);
  Color paletteDeselectFrameColor = Rgb(0, 255, 128);
  Color paletteBorderColor = Rgb(255, 255, 0);
  Color paletteBackgroundColor = Rgb(128, 128, 128);

  void ResetViewDefaults() {
    showLayer = true;
    showGrid = true;
    mapZoom = 1.0f;
    paletteZoom = 1.0f;
  }
};

// Zoomed sizes are float products truncated toward zero.
inline int32_t Zoomed(int32_t size, float zoom) {
  return static_cast<int32_t>(static_cast<float>(size) * zoom);
}

}  // namespace kelvor
