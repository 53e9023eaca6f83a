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

}  // namespace kelvor
