#include "platform/qt/qt_canvas.h"

#include <QPen>
#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KELVOR_CANVAS_AVX2 1
#endif

namespace kelvor {

namespace {

uint32_t LoadPixel(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

void StorePixel(uint8_t* p, uint32_t value) {
  std::memcpy(p, &value, 4);
}

// `count` pixels from p set to `pixel`, four at a time where there are four.
inline void FillRun(uint8_t* p, size_t count, uint32_t pixel) {
#if defined(__SSE2__)
  if (count >= 4) {
    const __m128i value = _mm_set1_epi32(static_cast<int>(pixel));
    size_t i = 0;
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i * 4), value);
    // The last four again, overlapping: the same value either way.
    if (i < count) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + (count - 4) * 4), value);
    return;
  }
#endif
  for (size_t i = 0; i < count; ++i, p += 4) StorePixel(p, pixel);
}

#if defined(__SSE2__)
// A closed square with a one-pixel pen, four to eight pixels across: its
// top and bottom rows in two overlapping stores each, a pixel either side
// between them.
class SmallSquare {
 public:
  static bool Fits(int32_t side) { return side >= 3 && side <= 7; }
  SmallSquare(int32_t side, size_t stride, uint32_t pixel)
      : value_(_mm_set1_epi32(static_cast<int>(pixel))),
        pixel_(pixel),
        stride_(stride),
        height_(static_cast<size_t>(side) * stride),
        right_(static_cast<size_t>(side) * 4),
        last_((static_cast<size_t>(side) - 3) * 4) {}
  void Paint(uint8_t* corner) const {
    uint8_t* const bottom = corner + height_;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(corner), value_);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bottom), value_);
    if (last_ != 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(corner + last_), value_);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bottom + last_), value_);
    }
    for (uint8_t* row = corner + stride_; row < bottom; row += stride_) {
      StorePixel(row, pixel_);
      StorePixel(row + right_, pixel_);
    }
  }

 private:
  __m128i value_;
  uint32_t pixel_;
  size_t stride_;
  size_t height_;  // bytes from the top row to the bottom row
  size_t right_;   // bytes from the left side to the right side
  size_t last_;    // where the second store of a full row starts
};
#endif

// Each colour byte of x times a / 255, rounded the way QPainter's raster
// blend rounds, so direct blends match its pixels exactly.
uint32_t ByteMul(uint32_t x, uint32_t a) {
  uint32_t t = (x & 0xff00ffu) * a;
  t = (t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8;
  t &= 0xff00ffu;
  x = ((x >> 8) & 0xff00ffu) * a;
  x = x + ((x >> 8) & 0xff00ffu) + 0x800080u;
  x &= 0xff00ff00u;
  return x | t;
}

uint32_t OpaquePixel(Color color) {
  return 0xff000000u | (static_cast<uint32_t>(ColorRed(color)) << 16) |
         (static_cast<uint32_t>(ColorGreen(color)) << 8) | ColorBlue(color);
}

QColor ToQColor(Color color) {
  return QColor(ColorRed(color), ColorGreen(color), ColorBlue(color));
}

QRect ToQRect(CanvasRect rect) {
  return QRect(rect.left, rect.top, rect.width, rect.height);
}

bool InsideBuffer(const PixelBuffer& buffer, CanvasRect rect) {
  return !rect.Empty() && rect.left >= 0 && rect.top >= 0 &&
         static_cast<int64_t>(rect.left) + rect.width <= buffer.width &&
         static_cast<int64_t>(rect.top) + rect.height <= buffer.height;
}

// Source over for one row of premultiplied pixels. Per colour byte:
// d = s + d x (255 - source alpha) / 255, which leaves d alone where the
// source is clear and copies it where it is opaque.
void BlendRow(const uint8_t* source, uint8_t* target, int32_t count) {
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i all = _mm_set1_epi32(255);
  const __m128i half = _mm_set1_epi16(0x80);
  const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xff000000u));
  for (; i + 4 <= count; i += 4, source += 16, target += 16) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    // Runs of opaque or clear pixels, common in chips, need no arithmetic.
    const __m128i alpha = _mm_and_si128(s, alphaMask);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaMask)) == 0xffff) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(target), s);
      continue;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, zero)) == 0xffff) continue;
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target));
    __m128i inverse = _mm_sub_epi32(all, _mm_srli_epi32(s, 24));
    inverse = _mm_or_si128(inverse, _mm_slli_epi32(inverse, 16));
    const __m128i inverseLow = _mm_unpacklo_epi32(inverse, inverse);
    const __m128i inverseHigh = _mm_unpackhi_epi32(inverse, inverse);
    __m128i low = _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), inverseLow);
    __m128i high = _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), inverseHigh);
    low = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(low, _mm_srli_epi16(low, 8)), half), 8);
    high = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(high, _mm_srli_epi16(high, 8)), half), 8);
    const __m128i blended = _mm_add_epi8(s, _mm_packus_epi16(low, high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), blended);
  }
#endif
  for (; i < count; ++i, source += 4, target += 4) {
    const uint32_t sp = LoadPixel(source);
    if (sp >= 0xff000000u) {
      StorePixel(target, sp);
    } else if (sp != 0) {
      StorePixel(target, sp + ByteMul(LoadPixel(target), 255u - (sp >> 24)));
    }
  }
}

#if defined(KELVOR_CANVAS_AVX2)
void BlendFewAvx2(const uint8_t* source, uint8_t* target, int32_t count);

// BlendRow eight pixels at a time over `rows` rows, for processors that
// have AVX2.
__attribute__((target("avx2"))) void BlendRectAvx2(const uint8_t* sourceRow, size_t sourceStride,
                                                   uint8_t* targetRow, size_t targetStride,
                                                   int32_t count, int32_t rows) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i all = _mm256_set1_epi32(255);
  const __m256i half = _mm256_set1_epi16(0x80);
  const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  for (int32_t row = 0; row < rows; ++row, sourceRow += sourceStride, targetRow += targetStride) {
    const uint8_t* source = sourceRow;
    uint8_t* target = targetRow;
    int32_t i = 0;
    for (; i + 8 <= count; i += 8, source += 32, target += 32) {
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
      const __m256i alpha = _mm256_and_si256(s, alphaMask);
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, alphaMask)) == -1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), s);
        continue;
      }
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(s, zero)) == -1) continue;
      const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target));
      __m256i inverse = _mm256_sub_epi32(all, _mm256_srli_epi32(s, 24));
      inverse = _mm256_or_si256(inverse, _mm256_slli_epi32(inverse, 16));
      // Unpacking and packing work within 128-bit halves, so pixels and their
      // alphas stay paired.
      __m256i low = _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero),
                                       _mm256_unpacklo_epi32(inverse, inverse));
      __m256i high = _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero),
                                        _mm256_unpackhi_epi32(inverse, inverse));
      low = _mm256_srli_epi16(
          _mm256_add_epi16(_mm256_add_epi16(low, _mm256_srli_epi16(low, 8)), half), 8);
      high = _mm256_srli_epi16(
          _mm256_add_epi16(_mm256_add_epi16(high, _mm256_srli_epi16(high, 8)), half), 8);
      const __m256i blended = _mm256_add_epi8(s, _mm256_packus_epi16(low, high));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(target), blended);
    }
    if (i < count) BlendFewAvx2(source, target, count - i);
  }
}

// Source over for eight premultiplied pixels, with the rounding of BlendRow:
// red and blue, then alpha and green, two bytes of each pixel at a time in
// 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i BlendEightAvx2(__m256i s, __m256i d) {
  const __m256i all = _mm256_set1_epi16(255);
  const __m256i half = _mm256_set1_epi16(0x80);
  const __m256i lowBytes = _mm256_set1_epi16(0x00ff);
  // Each pixel's alpha into both 16-bit lanes of the pixel.
  const __m256i alphas =
      _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3, -1, 3, -1, 7,
                       -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
  const __m256i inverse = _mm256_sub_epi16(all, _mm256_shuffle_epi8(s, alphas));
  __m256i redBlue = _mm256_mullo_epi16(_mm256_and_si256(d, lowBytes), inverse);
  __m256i alphaGreen = _mm256_mullo_epi16(_mm256_srli_epi16(d, 8), inverse);
  redBlue = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_add_epi16(redBlue, _mm256_srli_epi16(redBlue, 8)), half), 8);
  alphaGreen = _mm256_andnot_si256(
      lowBytes,
      _mm256_add_epi16(_mm256_add_epi16(alphaGreen, _mm256_srli_epi16(alphaGreen, 8)), half));
  return _mm256_add_epi8(s, _mm256_or_si256(redBlue, alphaGreen));
}

// BlendRow of one to seven pixels in one masked step: the ends of rows cut
// by the clip, at the edges of every view.
__attribute__((target("avx2"))) void BlendFewAvx2(const uint8_t* source, uint8_t* target,
                                                  int32_t count) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i mask = _mm256_cmpgt_epi32(_mm256_set1_epi32(count), lanes);
  const __m256i s = _mm256_maskload_epi32(reinterpret_cast<const int*>(source), mask);
  const __m256i d = _mm256_maskload_epi32(reinterpret_cast<const int*>(target), mask);
  _mm256_maskstore_epi32(reinterpret_cast<int*>(target), mask, BlendEightAvx2(s, d));
}

// Where the corners of tiles may lie for the tiles to be wholly inside the
// source and the clip: the fast path takes those, the rest go the long way.
struct TileBounds {
  int64_t sourceMaxX, sourceMaxY;
  int64_t targetMinX, targetMinY, targetMaxX, targetMaxY;
  bool Contain(const CanvasTile& tile) const {
    return tile.sourceX >= 0 && tile.sourceY >= 0 && tile.sourceX <= sourceMaxX &&
           tile.sourceY <= sourceMaxY && tile.targetX >= targetMinX && tile.targetY >= targetMinY &&
           tile.targetX <= targetMaxX && tile.targetY <= targetMaxY;
  }
};

// Square tiles 8 x Vectors pixels wide, from `first` on for as long as they
// lie within `bounds`; returns the index of the first tile it left. Rows are
// looked at whole first: rows all opaque are copied and rows all clear
// skipped, and mixed ones are blended throughout, so that the way through
// depends on rows, not on every group of eight pixels.
template <int Vectors>
__attribute__((target("avx2"))) size_t BlendTilesAvx2(const PixelBuffer& source,
                                                      PixelBuffer& target,
                                                      std::span<const CanvasTile> tiles,
                                                      size_t first, const TileBounds& bounds) {
  constexpr int32_t side = 8 * Vectors;
  // Rows looked at together: eight vectors' worth where a row is shorter.
  constexpr int Rows = Vectors >= 4 ? 1 : 8 / Vectors;
  static_assert(side % Rows == 0);
  const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  const auto sourceStride = static_cast<size_t>(source.stride);
  const auto targetStride = static_cast<size_t>(target.stride);
  size_t index = first;
  for (; index < tiles.size(); ++index) {
    const CanvasTile& tile = tiles[index];
    if (!bounds.Contain(tile)) break;
    const uint8_t* from = source.At(tile.sourceX, tile.sourceY);
    uint8_t* to = target.At(tile.targetX, tile.targetY);
    for (int32_t row = 0; row < side; row += Rows) {
      __m256i s[Rows][Vectors];
      __m256i opaque = alphaMask;
      __m256i any = _mm256_setzero_si256();
      for (int r = 0; r < Rows; ++r) {
        for (int v = 0; v < Vectors; ++v) {
          s[r][v] =
              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + r * sourceStride) + v);
          opaque = _mm256_and_si256(opaque, s[r][v]);
          any = _mm256_or_si256(any, s[r][v]);
        }
      }
      if (_mm256_testc_si256(opaque, alphaMask)) {
        for (int r = 0; r < Rows; ++r) {
          __m256i* out = reinterpret_cast<__m256i*>(to + r * targetStride);
          for (int v = 0; v < Vectors; ++v) _mm256_storeu_si256(out + v, s[r][v]);
        }
      } else if (!_mm256_testz_si256(any, any)) {
        for (int r = 0; r < Rows; ++r) {
          __m256i* out = reinterpret_cast<__m256i*>(to + r * targetStride);
          for (int v = 0; v < Vectors; ++v) {
            _mm256_storeu_si256(out + v, BlendEightAvx2(s[r][v], _mm256_loadu_si256(out + v)));
          }
        }
      }
      from += Rows * sourceStride;
      to += Rows * targetStride;
    }
  }
  return index;
}

// The pairs of BlendTilePairs as BlendTilesAvx2 takes tiles, the lower
// square blended first and the upper one over it in registers: the surface
// is read only where the lower square does not cover it, and written once.
// Rows are told apart as opaque, clear or mixed in both squares first (and
// read again for the blend, from the cache), so that the way through
// depends on rows, not on single pixels.
template <int Vectors>
__attribute__((target("avx2"))) size_t BlendTilePairsAvx2(
    const PixelBuffer& lower, const PixelBuffer& upper, PixelBuffer& target,
    std::span<const CanvasTilePair> pairs, size_t first, const TileBounds& lowerBounds,
    const TileBounds& upperBounds) {
  constexpr int32_t side = 8 * Vectors;
  constexpr int Rows = Vectors >= 4 ? 1 : 8 / Vectors;
  static_assert(side % Rows == 0);
  const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  // Everything the loop needs in locals: the stores below may alias any
  // memory, which would have it all read again for every pair.
  const auto lowerStride = static_cast<size_t>(lower.stride);
  const auto upperStride = static_cast<size_t>(upper.stride);
  const auto targetStride = static_cast<size_t>(target.stride);
  const uint8_t* const lowerPixels = lower.pixels.data();
  const uint8_t* const upperPixels = upper.pixels.data();
  uint8_t* const targetPixels = target.pixels.data();
  // Both bounds share the clip; a source too small for any square takes none.
  if (lowerBounds.sourceMaxX < 0 || lowerBounds.sourceMaxY < 0 || upperBounds.sourceMaxX < 0 ||
      upperBounds.sourceMaxY < 0) {
    return first;
  }
  const auto lowerMaxX = static_cast<uint64_t>(lowerBounds.sourceMaxX);
  const auto lowerMaxY = static_cast<uint64_t>(lowerBounds.sourceMaxY);
  const auto upperMaxX = static_cast<uint64_t>(upperBounds.sourceMaxX);
  const auto upperMaxY = static_cast<uint64_t>(upperBounds.sourceMaxY);
  const int64_t minX = lowerBounds.targetMinX, minY = lowerBounds.targetMinY;
  const int64_t maxX = lowerBounds.targetMaxX, maxY = lowerBounds.targetMaxY;
  const CanvasTilePair* const all = pairs.data();
  const size_t count = pairs.size();
  size_t index = first;
  for (; index < count; ++index) {
    const CanvasTilePair pair = all[index];
    // One test for all eight limits: negative source corners turn huge.
    const bool outside = (static_cast<uint64_t>(int64_t{pair.lowerX}) > lowerMaxX) |
                         (static_cast<uint64_t>(int64_t{pair.lowerY}) > lowerMaxY) |
                         (static_cast<uint64_t>(int64_t{pair.upperX}) > upperMaxX) |
                         (static_cast<uint64_t>(int64_t{pair.upperY}) > upperMaxY) |
                         (pair.targetX < minX) | (pair.targetY < minY) | (pair.targetX > maxX) |
                         (pair.targetY > maxY);
    if (outside) break;
    const uint8_t* from = lowerPixels + static_cast<size_t>(pair.lowerY) * lowerStride +
                          static_cast<size_t>(pair.lowerX) * 4;
    const uint8_t* over = upperPixels + static_cast<size_t>(pair.upperY) * upperStride +
                          static_cast<size_t>(pair.upperX) * 4;
    uint8_t* to = targetPixels + static_cast<size_t>(pair.targetY) * targetStride +
                  static_cast<size_t>(pair.targetX) * 4;
    for (int32_t row = 0; row < side; row += Rows) {
      __m256i lowerOpaque = alphaMask, upperOpaque = alphaMask;
      __m256i lowerAny = _mm256_setzero_si256(), upperAny = _mm256_setzero_si256();
      for (int r = 0; r < Rows; ++r) {
        for (int v = 0; v < Vectors; ++v) {
          const __m256i l =
              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + r * lowerStride) + v);
          const __m256i u =
              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(over + r * upperStride) + v);
          lowerOpaque = _mm256_and_si256(lowerOpaque, l);
          lowerAny = _mm256_or_si256(lowerAny, l);
          upperOpaque = _mm256_and_si256(upperOpaque, u);
          upperAny = _mm256_or_si256(upperAny, u);
        }
      }
      const bool upperCovers = _mm256_testc_si256(upperOpaque, alphaMask);
      const bool lowerCovers = _mm256_testc_si256(lowerOpaque, alphaMask);
      const bool lowerShows = !_mm256_testz_si256(lowerAny, lowerAny);
      const bool upperShows = !_mm256_testz_si256(upperAny, upperAny);
      const uint8_t* source = upperCovers ? over : from;
      const size_t sourceStride = upperCovers ? upperStride : lowerStride;
      if (upperCovers || (lowerCovers && !upperShows)) {
        // One square alone decides these rows.
        for (int r = 0; r < Rows; ++r) {
          __m256i* out = reinterpret_cast<__m256i*>(to + r * targetStride);
          for (int v = 0; v < Vectors; ++v) {
            _mm256_storeu_si256(
                out + v, _mm256_loadu_si256(
                             reinterpret_cast<const __m256i*>(source + r * sourceStride) + v));
          }
        }
      } else if (lowerCovers) {
        for (int r = 0; r < Rows; ++r) {
          __m256i* out = reinterpret_cast<__m256i*>(to + r * targetStride);
          for (int v = 0; v < Vectors; ++v) {
            const __m256i l =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + r * lowerStride) + v);
            const __m256i u =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(over + r * upperStride) + v);
            _mm256_storeu_si256(out + v, BlendEightAvx2(u, l));
          }
        }
      } else if (lowerShows || upperShows) {
        for (int r = 0; r < Rows; ++r) {
          __m256i* out = reinterpret_cast<__m256i*>(to + r * targetStride);
          for (int v = 0; v < Vectors; ++v) {
            __m256i pixels = _mm256_loadu_si256(out + v);
            if (lowerShows) {
              pixels = BlendEightAvx2(
                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + r * lowerStride) + v),
                  pixels);
            }
            if (upperShows) {
              pixels = BlendEightAvx2(
                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(over + r * upperStride) + v),
                  pixels);
            }
            _mm256_storeu_si256(out + v, pixels);
          }
        }
      }
      from += Rows * lowerStride;
      over += Rows * upperStride;
      to += Rows * targetStride;
    }
  }
  return index;
}

using TileBlender = size_t (*)(const PixelBuffer&, PixelBuffer&, std::span<const CanvasTile>,
                               size_t, const TileBounds&);
using TilePairBlender = size_t (*)(const PixelBuffer&, const PixelBuffer&, PixelBuffer&,
                                   std::span<const CanvasTilePair>, size_t, const TileBounds&,
                                   const TileBounds&);

// make(std::integral_constant<int, side / 8>) for the square sides the
// kernels are made for (8 to 64 in steps of 8), else `none`.
template <typename Kernel, typename Make>
Kernel KernelForSide(int32_t side, Make make, Kernel none) {
  switch (side) {
    case 8:
      return make(std::integral_constant<int, 1>{});
    case 16:
      return make(std::integral_constant<int, 2>{});
    case 24:
      return make(std::integral_constant<int, 3>{});
    case 32:
      return make(std::integral_constant<int, 4>{});
    case 40:
      return make(std::integral_constant<int, 5>{});
    case 48:
      return make(std::integral_constant<int, 6>{});
    case 56:
      return make(std::integral_constant<int, 7>{});
    case 64:
      return make(std::integral_constant<int, 8>{});
    default:
      return none;
  }
}

// The kernels for squares `side` pixels wide, or null.
TileBlender TileBlenderFor(int32_t side) {
  return KernelForSide<TileBlender>(
      side, [](auto vectors) -> TileBlender { return BlendTilesAvx2<decltype(vectors)::value>; },
      nullptr);
}
TilePairBlender TilePairBlenderFor(int32_t side) {
  return KernelForSide<TilePairBlender>(
      side,
      [](auto vectors) -> TilePairBlender { return BlendTilePairsAvx2<decltype(vectors)::value>; },
      nullptr);
}

bool HasAvx2() {
  return __builtin_cpu_supports("avx2");
}
#else
bool HasAvx2() {
  return false;
}
#endif

}  // namespace

QImage WrapPixelBuffer(PixelBuffer& buffer) {
  if (buffer.Empty()) return QImage();
  return QImage(buffer.pixels.data(), buffer.width, buffer.height, buffer.stride,
                QImage::Format_ARGB32_Premultiplied);
}

QImage WrapPixelBufferReadOnly(const PixelBuffer& buffer) {
  if (buffer.Empty()) return QImage();
  return QImage(buffer.pixels.data(), buffer.width, buffer.height, buffer.stride,
                QImage::Format_ARGB32_Premultiplied);
}

QtCanvas::QtCanvas(PixelBuffer& target)
    : target_(target), image_(WrapPixelBuffer(target)), avx2_(HasAvx2()) {
  clipRight_ = target_.width;
  clipBottom_ = target_.height;
  penPixel_ = OpaquePixel(pen_.color);
  if (image_.isNull()) return;
  painter_ = std::make_unique<QPainter>(&image_);
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

QtCanvas::~QtCanvas() {
  if (painter_) painter_->end();
}

void QtCanvas::SetWideBlendEnabled(bool enabled) {
  avx2_ = enabled && HasAvx2();
}

void QtCanvas::SetClip(CanvasRect clip) {
  const int64_t right = static_cast<int64_t>(clip.left) + std::max(clip.width, 0);
  const int64_t bottom = static_cast<int64_t>(clip.top) + std::max(clip.height, 0);
  clipLeft_ = std::clamp<int32_t>(clip.left, 0, target_.width);
  clipTop_ = std::clamp<int32_t>(clip.top, 0, target_.height);
  clipRight_ = static_cast<int32_t>(std::clamp<int64_t>(right, clipLeft_, target_.width));
  clipBottom_ = static_cast<int32_t>(std::clamp<int64_t>(bottom, clipTop_, target_.height));
  if (painter_) {
    painter_->setClipRect(
        QRect(clipLeft_, clipTop_, clipRight_ - clipLeft_, clipBottom_ - clipTop_));
  }
}

void QtCanvas::FillRect(CanvasRect rect, Color color) {
  if (!painter_ || rect.Empty()) return;
  painter_->fillRect(ToQRect(rect), ToQColor(color));
}

void QtCanvas::FillBox(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
  left = std::max<int64_t>(left, clipLeft_);
  top = std::max<int64_t>(top, clipTop_);
  right = std::min<int64_t>(right, clipRight_);
  bottom = std::min<int64_t>(bottom, clipBottom_);
  if (left >= right || top >= bottom) return;
  const auto count = static_cast<size_t>(right - left);
  const auto rows = static_cast<size_t>(bottom - top);
  const auto stride = static_cast<size_t>(target_.stride);
  uint8_t* row = target_.At(static_cast<int32_t>(left), static_cast<int32_t>(top));
  if (count == 1) {  // the sides of one-pixel frames and grid lines
    for (size_t y = 0; y < rows; ++y, row += stride) StorePixel(row, pixel);
    return;
  }
  for (size_t y = 0; y < rows; ++y, row += stride) FillRun(row, count, pixel);
}

void QtCanvas::BlendImage(const PixelBuffer& source, CanvasRect sourceRect, CanvasRect targetRect) {
  if (!painter_ || targetRect.Empty() || !InsideBuffer(source, sourceRect)) return;
  if (direct_ && sourceRect.width == targetRect.width && sourceRect.height == targetRect.height) {
    BlendSameSize(source, sourceRect, targetRect);
    return;
  }
  const QImage image = WrapPixelBufferReadOnly(source);
  painter_->drawImage(ToQRect(targetRect), image, ToQRect(sourceRect));
}

void QtCanvas::BlendSameSize(const PixelBuffer& source, CanvasRect sourceRect,
                             CanvasRect targetRect) {
  const int64_t left = std::max<int64_t>(targetRect.left, clipLeft_);
  const int64_t top = std::max<int64_t>(targetRect.top, clipTop_);
  const int64_t right = std::min<int64_t>(int64_t{targetRect.left} + targetRect.width, clipRight_);
  const int64_t bottom =
      std::min<int64_t>(int64_t{targetRect.top} + targetRect.height, clipBottom_);
  if (left >= right || top >= bottom) return;
  const auto sx = static_cast<int32_t>(sourceRect.left + (left - targetRect.left));
  const auto sy = static_cast<int32_t>(sourceRect.top + (top - targetRect.top));
  const auto count = static_cast<int32_t>(right - left);
  const auto rows = static_cast<int32_t>(bottom - top);
  const uint8_t* from = source.At(sx, sy);
  uint8_t* to = target_.At(static_cast<int32_t>(left), static_cast<int32_t>(top));
  const auto fromStride = static_cast<size_t>(source.stride);
  const auto toStride = static_cast<size_t>(target_.stride);
#if defined(KELVOR_CANVAS_AVX2)
  if (avx2_) {
    BlendRectAvx2(from, fromStride, to, toStride, count, rows);
    return;
  }
#endif
  for (int32_t row = 0; row < rows; ++row, from += fromStride, to += toStride) {
    BlendRow(from, to, count);
  }
}

void QtCanvas::SetPen(CanvasPen pen) {
  pen_ = pen;
  penPixel_ = OpaquePixel(pen.color);
}

void QtCanvas::ApplyPainterPen(Qt::PenCapStyle cap) {
  QPen pen(ToQColor(pen_.color), std::max(pen_.width, 1), Qt::SolidLine, cap, Qt::MiterJoin);
  painter_->setPen(pen);
}

void QtCanvas::LineTo(CanvasPoint to) {
  const CanvasPoint from = position_;
  position_ = to;
  if (!painter_) return;
  const int64_t w = std::max(pen_.width, 1);
  const int64_t before = w / 2;  // pixels on the low side of the centre line
  const int64_t after = w - before;
  if (direct_ && from.y == to.y && from.x <= to.x) {
    FillBox(from.x, from.y - before, to.x, int64_t{from.y} + after, PenPixel());
    return;
  }
  if (direct_ && from.x == to.x && from.y <= to.y) {
    FillBox(from.x - before, from.y, int64_t{from.x} + after, to.y, PenPixel());
    return;
  }
  if (from == to) return;  // nothing to paint without its end point
  ApplyPainterPen(Qt::FlatCap);
  painter_->drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
}

// A closed five-point axis-aligned rectangle with sides of at least one
// pixel, painted as the four bars QPainter's square caps and mitre joins make.
bool QtCanvas::FrameRectangle(std::span<const CanvasPoint> p) {
  if (p.size() != 5 || p[0] != p[4]) return false;
  const bool horizontalFirst =
      p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x;
  const bool verticalFirst =
      p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y;
  if (!horizontalFirst && !verticalFirst) return false;
  const int64_t x0 = std::min(p[0].x, p[2].x);
  const int64_t x1 = std::max(p[0].x, p[2].x);
  const int64_t y0 = std::min(p[0].y, p[2].y);
  const int64_t y1 = std::max(p[0].y, p[2].y);
  if (x0 == x1 || y0 == y1) return false;
  FrameBox(x0, y0, x1, y1);
  return true;
}

void QtCanvas::FrameBox(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const int64_t w = std::max(pen_.width, 1);
  const int64_t before = w / 2;
  const int64_t after = w - before;
  const uint32_t pixel = PenPixel();
  const int64_t outerLeft = x0 - before, outerRight = x1 + after;
  const int64_t outerTop = y0 - before, outerBottom = y1 + after;
  if (outerLeft >= clipLeft_ && outerTop >= clipTop_ && outerRight <= clipRight_ &&
      outerBottom <= clipBottom_) {
    // Wholly visible, as nearly every frame is: one pass over its rows.
    const int64_t innerLeft = x0 + after, innerRight = x1 - before;
    const int64_t innerTop = y0 + after, innerBottom = y1 - before;
    const auto full = static_cast<size_t>(outerRight - outerLeft);
    const bool hollow = innerLeft < innerRight && innerTop < innerBottom;
    const auto side = static_cast<size_t>(innerLeft - outerLeft);
    const auto rightSide = static_cast<size_t>(innerRight - outerLeft);
    const auto stride = static_cast<size_t>(target_.stride);
    uint8_t* row = target_.At(static_cast<int32_t>(outerLeft), static_cast<int32_t>(outerTop));
    if (w == 1 && hollow) {  // the common one-pixel frame: two pixels per side row
      uint8_t* bottomRow = row + static_cast<size_t>(y1 - y0) * stride;
      FillRun(row, full, pixel);
      FillRun(bottomRow, full, pixel);
      const size_t right = (full - 1) * 4;
      for (row += stride; row < bottomRow; row += stride) {
        StorePixel(row, pixel);
        StorePixel(row + right, pixel);
      }
      return;
    }
    for (int64_t y = outerTop; y < outerBottom; ++y, row += stride) {
      if (hollow && y >= innerTop && y < innerBottom) {
        FillRun(row, side, pixel);
        FillRun(row + rightSide * 4, full - rightSide, pixel);
      } else {
        FillRun(row, full, pixel);
      }
    }
    return;
  }
  FillBox(x0 - before, y0 - before, x1 + after, y0 + after, pixel);  // top
  FillBox(x0 - before, y1 - before, x1 + after, y1 + after, pixel);  // bottom
  FillBox(x0 - before, y0 + after, x0 + after, y1 - before, pixel);  // left
  FillBox(x1 - before, y0 + after, x1 + after, y1 - before, pixel);  // right
}

void QtCanvas::Polyline(std::span<const CanvasPoint> points) {
  if (!painter_ || points.size() < 2) return;
  if (direct_ && FrameRectangle(points)) return;
  ApplyPainterPen(Qt::SquareCap);
  std::vector<QPoint> qpoints;
  qpoints.reserve(points.size());
  for (const CanvasPoint& point : points) qpoints.emplace_back(point.x, point.y);
  painter_->drawPolyline(qpoints.data(), static_cast<int>(qpoints.size()));
}

void QtCanvas::BlendTiles(const PixelBuffer& source, int32_t side,
                          std::span<const CanvasTile> tiles) {
  if (!painter_ || side < 1) return;
  if (!direct_) {
    Canvas::BlendTiles(source, side, tiles);
    return;
  }
  size_t index = 0;
#if defined(KELVOR_CANVAS_AVX2)
  const TileBlender blender = avx2_ ? TileBlenderFor(side) : nullptr;
  const TileBounds bounds{
      int64_t{source.width} - side, int64_t{source.height} - side, clipLeft_, clipTop_,
      int64_t{clipRight_} - side,   int64_t{clipBottom_} - side};
#endif
  while (index < tiles.size()) {
#if defined(KELVOR_CANVAS_AVX2)
    // Nearly every tile lies wholly inside the clip.
    if (blender != nullptr) {
      index = blender(source, target_, tiles, index, bounds);
      if (index == tiles.size()) break;
    }
#endif
    const CanvasTile& tile = tiles[index++];
    const CanvasRect from{tile.sourceX, tile.sourceY, side, side};
    if (!InsideBuffer(source, from)) continue;
    BlendSameSize(source, from, {tile.targetX, tile.targetY, side, side});
  }
}

void QtCanvas::BlendTilePairs(const PixelBuffer& lower, const PixelBuffer& upper, int32_t side,
                              std::span<const CanvasTilePair> pairs) {
  if (!painter_ || side < 1) return;
  if (!direct_) {
    Canvas::BlendTilePairs(lower, upper, side, pairs);
    return;
  }
  size_t index = 0;
#if defined(KELVOR_CANVAS_AVX2)
  const TilePairBlender blender = avx2_ ? TilePairBlenderFor(side) : nullptr;
  const auto boundsOf = [&](const PixelBuffer& source) {
    return TileBounds{
        int64_t{source.width} - side, int64_t{source.height} - side, clipLeft_, clipTop_,
        int64_t{clipRight_} - side,   int64_t{clipBottom_} - side};
  };
  const TileBounds lowerBounds = boundsOf(lower);
  const TileBounds upperBounds = boundsOf(upper);
#endif
  while (index < pairs.size()) {
#if defined(KELVOR_CANVAS_AVX2)
    // Nearly every pair lies wholly inside the clip.
    if (blender != nullptr) {
      index = blender(lower, upper, target_, pairs, index, lowerBounds, upperBounds);
      if (index == pairs.size()) break;
    }
#endif
    // The rest one square after the other, each as BlendTiles takes it.
    const CanvasTilePair& pair = pairs[index++];
    const CanvasTile lowerTile{pair.lowerX, pair.lowerY, pair.targetX, pair.targetY};
    const CanvasTile upperTile{pair.upperX, pair.upperY, pair.targetX, pair.targetY};
    BlendTiles(lower, side, std::span<const CanvasTile>(&lowerTile, 1));
    BlendTiles(upper, side, std::span<const CanvasTile>(&upperTile, 1));
  }
}

void QtCanvas::Squares(std::span<const CanvasPoint> corners, int32_t side) {
  if (!painter_) return;
  if (!direct_ || side < 1) {
    Canvas::Squares(corners, side);
    return;
  }
  if (pen_.width > 1 || side < 2) {
    for (const CanvasPoint& corner : corners) {
      FrameBox(corner.x, corner.y, int64_t{corner.x} + side, int64_t{corner.y} + side);
    }
    return;
  }
  // One-pixel pen, as for every handle and frame below 150%: a full row at
  // the top and bottom and a pixel either side between them, done here for
  // every square wholly inside the clip.
  const int64_t maxX = int64_t{clipRight_} - side - 1;
  const int64_t maxY = int64_t{clipBottom_} - side - 1;
  const uint32_t pixel = PenPixel();
  const auto stride = static_cast<size_t>(target_.stride);
  const auto width = static_cast<size_t>(side) + 1;
  const size_t right = static_cast<size_t>(side) * 4;
#if defined(__SSE2__)
  if (SmallSquare::Fits(side)) {
    // Handles and frames at the small zooms, a hundred thousand of them in
    // a paint. All in locals, as the stores may alias any memory.
    const SmallSquare square(side, stride, pixel);
    const int32_t minX = clipLeft_;
    const int32_t minY = clipTop_;
    uint8_t* const pixels = target_.pixels.data();
    for (const CanvasPoint corner : corners) {
      if ((corner.x < minX) | (corner.y < minY) | (corner.x > maxX) | (corner.y > maxY)) {
        FrameBox(corner.x, corner.y, int64_t{corner.x} + side, int64_t{corner.y} + side);
        continue;
      }
      square.Paint(pixels + static_cast<size_t>(corner.y) * stride +
                   static_cast<size_t>(corner.x) * 4);
    }
    return;
  }
#endif
  for (const CanvasPoint& corner : corners) {
    if (corner.x < clipLeft_ || corner.y < clipTop_ || corner.x > maxX || corner.y > maxY) {
      FrameBox(corner.x, corner.y, int64_t{corner.x} + side, int64_t{corner.y} + side);
      continue;
    }
    uint8_t* row = target_.At(corner.x, corner.y);
    uint8_t* const bottom = row + static_cast<size_t>(side) * stride;
    FillRun(row, width, pixel);
    FillRun(bottom, width, pixel);
    for (row += stride; row < bottom; row += stride) {
      StorePixel(row, pixel);
      StorePixel(row + right, pixel);
    }
  }
}

void QtCanvas::SquareRow(CanvasPoint first, int32_t step, std::span<const uint8_t> drawn,
                         int32_t side) {
#if defined(__SSE2__)
  // A row of small squares with a one-pixel pen wholly inside the clip's
  // rows: no corner list, and the clip's sides tested once per square.
  if (painter_ && direct_ && pen_.width <= 1 && SmallSquare::Fits(side) && step >= 1 &&
      first.y >= clipTop_ && int64_t{first.y} + side < clipBottom_) {
    const auto stride = static_cast<size_t>(target_.stride);
    const SmallSquare square(side, stride, PenPixel());
    // The squares wholly inside the clip's sides are inside..insideEnd.
    const int64_t count = static_cast<int64_t>(drawn.size());
    const int64_t lead = int64_t{clipLeft_} - first.x;
    const int64_t room = int64_t{clipRight_} - side - 1 - first.x;
    const int64_t inside = std::clamp<int64_t>(lead <= 0 ? 0 : (lead + step - 1) / step, 0, count);
    const int64_t insideEnd = std::clamp<int64_t>(room < 0 ? 0 : room / step + 1, inside, count);
    const auto cut = [&](int64_t i) {
      const int64_t x = first.x + i * step;
      if (drawn[static_cast<size_t>(i)] != 0)
        FrameBox(x, first.y, x + side, int64_t{first.y} + side);
    };
    for (int64_t i = 0; i < inside; ++i) cut(i);
    if (inside < insideEnd) {
      uint8_t* corner = target_.pixels.data() + static_cast<size_t>(first.y) * stride +
                        static_cast<size_t>(first.x + inside * step) * 4;
      const auto advance = static_cast<size_t>(step) * 4;
      for (int64_t i = inside;; corner += advance) {
        if (drawn[static_cast<size_t>(i)] != 0) square.Paint(corner);
        if (++i == insideEnd) break;
      }
    }
    for (int64_t i = insideEnd; i < count; ++i) cut(i);
    return;
  }
#endif
  Canvas::SquareRow(first, step, drawn, side);
}

void QtCanvas::VerticalLines(std::span<const int32_t> xs, int32_t top, int32_t bottom) {
  if (xs.empty()) return;
  if (!painter_ || !direct_ || top > bottom) {
    Canvas::VerticalLines(xs, top, bottom);
    return;
  }
  position_ = {xs.back(), bottom};
  const int64_t w = std::max(pen_.width, 1);
  const int64_t before = w / 2;
  const int64_t after = w - before;
  const int32_t rowTop = std::max(top, clipTop_);
  const int32_t rowBottom = std::min(bottom, clipBottom_);
  if (rowTop >= rowBottom) return;
  // Row by row rather than line by line: a line down the surface touches a
  // new cache line with every pixel, a row touches each only once.
  constexpr size_t chunk = 256;
  std::array<int32_t, chunk> lefts;
  std::array<int32_t, chunk> widths;
  const uint32_t pixel = PenPixel();
  const auto stride = static_cast<size_t>(target_.stride);
  for (size_t first = 0; first < xs.size(); first += chunk) {
    size_t count = 0;
    for (size_t i = first; i < xs.size() && i < first + chunk; ++i) {
      const int64_t left = std::max<int64_t>(xs[i] - before, clipLeft_);
      const int64_t right = std::min<int64_t>(int64_t{xs[i]} + after, clipRight_);
      if (left >= right) continue;
      lefts[count] = static_cast<int32_t>(left);
      widths[count] = static_cast<int32_t>(right - left);
      ++count;
    }
    if (count == 0) continue;
    uint8_t* row = target_.At(0, rowTop);
    if (w == 1) {  // grid lines: one pixel per line and row
      for (int32_t y = rowTop; y < rowBottom; ++y, row += stride) {
        for (size_t i = 0; i < count; ++i)
          StorePixel(row + static_cast<size_t>(lefts[i]) * 4, pixel);
      }
      continue;
    }
    for (int32_t y = rowTop; y < rowBottom; ++y, row += stride) {
      for (size_t i = 0; i < count; ++i) {
        FillRun(row + static_cast<size_t>(lefts[i]) * 4, static_cast<size_t>(widths[i]), pixel);
      }
    }
  }
}

std::unique_ptr<Canvas> QtCanvas::Twin() {
  if (!painter_ || !twins_) return nullptr;
  auto twin = std::make_unique<QtCanvas>(target_);
  twin->direct_ = direct_;
  twin->avx2_ = avx2_;
  twin->twins_ = twins_;
  twin->SetClip(Clip());
  twin->SetPen(pen_);
  return twin;
}

std::unique_ptr<Canvas> MakeQtCanvas(PixelBuffer& target) {
  return std::make_unique<QtCanvas>(target);
}

}  // namespace kelvor
