#pragma once

#include <cstdint>

#include "base/pixel_buffer.h"

namespace kelvor {

// Draws the 32 x 32 square of `source` at (sourceX, sourceY) over the square
// of `target` at (targetX, targetY), source over with the source's own
// premultiplied alpha. Onto transparent black the result is an exact copy.
// Nothing happens unless both squares lie wholly inside their buffers.
void BlendChipSquare(PixelBuffer& target, int32_t targetX, int32_t targetY,
                     const PixelBuffer& source, int32_t sourceX, int32_t sourceY);

// One row of that: `pixels` source pixels over as many target pixels.
void BlendChipRow(uint8_t* target, const uint8_t* source, int32_t pixels);

// True when the 32 x 32 square at (x, y) lies wholly inside `buffer`.
bool ChipSquareInside(const PixelBuffer& buffer, int32_t x, int32_t y);

}  // namespace kelvor
