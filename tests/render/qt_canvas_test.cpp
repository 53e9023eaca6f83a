#include "platform/qt/qt_canvas.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace kelvor {
namespace {

constexpr Color Red = Rgb(255, 0, 0);

uint32_t PixelAt(const PixelBuffer& buffer, int32_t x, int32_t y) {
  uint32_t value;
  std::memcpy(&value, buffer.At(x, y), 4);
  return value;
}

// '#' where a pixel was painted, '.' where it is still zero.
std::string Picture(const PixelBuffer& buffer) {
  std::string text;
  for (int32_t y = 0; y < buffer.height; ++y) {
    for (int32_t x = 0; x < buffer.width; ++x) text += PixelAt(buffer, x, y) != 0 ? '#' : '.';
    text += '\n';
  }
  return text;
}

template <typename Draw>
PixelBuffer Painted(int32_t width, int32_t height, bool direct, Draw draw) {
  PixelBuffer buffer = PixelBuffer::Make(width, height);
  QtCanvas canvas(buffer);
  canvas.SetDirectPathsEnabled(direct);
  draw(canvas);
  return buffer;
}

TEST(QtCanvas, LinesLeaveOutTheirEndPointAndCentreTheirWidth) {
  struct Case {
    int32_t width;
    const char* picture;
  };
  // A line from (1, 3) to (6, 3) and one from (8, 1) to (8, 5): width 2
  // paints rows 2 and 3, width 3 rows 2 to 4.
  const Case cases[] = {
      {1,
       "..........\n"
       "........#.\n"
       "........#.\n"
       ".#####..#.\n"
       "........#.\n"
       "..........\n"},
      {2,
       "..........\n"
       ".......##.\n"
       ".#####.##.\n"
       ".#####.##.\n"
       ".......##.\n"
       "..........\n"},
      {3,
       "..........\n"
       ".......###\n"
       ".#####.###\n"
       ".#####.###\n"
       ".#####.###\n"
       "..........\n"},
  };
  for (const Case& c : cases) {
    for (bool direct : {true, false}) {
      const PixelBuffer buffer = Painted(10, 6, direct, [&](QtCanvas& canvas) {
        canvas.SetPen({c.width, Red});
        canvas.MoveTo({1, 3});
        canvas.LineTo({6, 3});
        canvas.MoveTo({8, 1});
        canvas.LineTo({8, 5});
      });
      EXPECT_EQ(Picture(buffer), c.picture) << "width " << c.width << " direct " << direct;
    }
  }
}

TEST(QtCanvas, ClosedRectangleIsACompleteFrame) {
  struct Case {
    int32_t width;
    const char* picture;
  };
  // The five-point square from (2, 2) with side 4.
  const Case cases[] = {
      {1,
       "........\n"
       "........\n"
       "..#####.\n"
       "..#...#.\n"
       "..#...#.\n"
       "..#...#.\n"
       "..#####.\n"
       "........\n"},
      {2,
       "........\n"
       ".######.\n"
       ".######.\n"
       ".##..##.\n"
       ".##..##.\n"
       ".######.\n"
       ".######.\n"
       "........\n"},
      {4,
       "########\n"
       "########\n"
       "########\n"
       "########\n"
       "########\n"
       "########\n"
       "########\n"
       "########\n"},
  };
  const std::array<CanvasPoint, 5> square{{{2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}}};
  for (const Case& c : cases) {
    for (bool direct : {true, false}) {
      const PixelBuffer buffer = Painted(8, 8, direct, [&](QtCanvas& canvas) {
        canvas.SetPen({c.width, Red});
        canvas.Polyline(square);
      });
      EXPECT_EQ(Picture(buffer), c.picture) << "width " << c.width << " direct " << direct;
    }
  }
}

// The direct paths must paint exactly what QPainter paints for the same
// calls, at every pen width the views use, partly off the surface and clipped.
TEST(QtCanvas, DirectShapesMatchQPainter) {
  struct Shape {
    bool polyline;
    std::vector<CanvasPoint> points;
  };
  const std::vector<Shape> shapes = {
      {false, {{0, 5}, {20, 5}}},
      {false, {{-7, 12}, {30, 12}}},
      {false, {{9, -4}, {9, 17}}},
      {false, {{23, 3}, {23, 40}}},
      {true, {{3, 3}, {10, 3}, {10, 10}, {3, 10}, {3, 3}}},
      {true, {{5, 4}, {5, 9}, {12, 9}, {12, 4}, {5, 4}}},  // drawn the other way round
      {true, {{14, 14}, {17, 14}, {17, 17}, {14, 17}, {14, 14}}},
      {true, {{18, 2}, {19, 2}, {19, 3}, {18, 3}, {18, 2}}},
      {true, {{20, 18}, {30, 18}, {30, 28}, {20, 28}, {20, 18}}},
  };
  const CanvasRect clips[] = {{0, 0, 24, 20}, {4, 3, 11, 9}};
  for (int32_t width = 1; width <= 4; ++width) {
    for (const CanvasRect& clip : clips) {
      for (size_t i = 0; i < shapes.size(); ++i) {
        auto draw = [&](QtCanvas& canvas) {
          canvas.SetClip(clip);
          canvas.SetPen({width, Rgb(10, 200, 30)});
          const Shape& shape = shapes[i];
          if (shape.polyline) {
            canvas.Polyline(shape.points);
          } else {
            canvas.MoveTo(shape.points[0]);
            canvas.LineTo(shape.points[1]);
          }
        };
        EXPECT_EQ(Picture(Painted(24, 20, true, draw)), Picture(Painted(24, 20, false, draw)))
            << "shape " << i << " width " << width << " clip " << clip.left;
      }
    }
  }
}

// QPainter's one-pixel pen loses the corner pixel of a frame cut by the
// surface edge; the frame must stay whole there, as anywhere else.
TEST(QtCanvas, FrameCutByTheSurfaceEdgeKeepsItsCorner) {
  const std::array<CanvasPoint, 5> square{{{-3, -3}, {4, -3}, {4, 4}, {-3, 4}, {-3, -3}}};
  const PixelBuffer buffer = Painted(6, 6, true, [&](QtCanvas& canvas) {
    canvas.SetPen({1, Red});
    canvas.Polyline(square);
  });
  EXPECT_EQ(Picture(buffer),
            "....#.\n"
            "....#.\n"
            "....#.\n"
            "....#.\n"
            "#####.\n"
            "......\n");
}

TEST(QtCanvas, BlendIsSourceOverWithPremultipliedAlpha) {
  PixelBuffer source = PixelBuffer::Make(3, 1);
  const uint8_t sourceBytes[] = {
      0,  0,  128, 128,  // half-covering red
      10, 20, 30,  255,  // opaque
      0,  0,  0,   0,    // transparent
  };
  std::memcpy(source.pixels.data(), sourceBytes, sizeof sourceBytes);
  for (bool direct : {true, false}) {
    PixelBuffer target = PixelBuffer::Make(3, 1);
    for (int32_t x = 0; x < 3; ++x) {
      const uint8_t opaque[] = {200, 100, 0, 255};
      std::memcpy(target.At(x, 0), opaque, 4);
    }
    {
      QtCanvas canvas(target);
      canvas.SetDirectPathsEnabled(direct);
      canvas.BlendImage(source, {0, 0, 3, 1}, {0, 0, 3, 1});
    }
    const std::vector<uint8_t> expected = {
        100, 50,  128, 255,  // 200 x 127 / 255 and 100 x 127 / 255, rounded
        10,  20,  30,  255,  //
        200, 100, 0,   255,  // untouched
    };
    EXPECT_EQ(target.pixels, expected) << "direct " << direct;
  }
}

TEST(QtCanvas, DirectBlendMatchesQPainterForEveryAlpha) {
  std::mt19937 random(7);
  PixelBuffer source = PixelBuffer::Make(32, 32);
  PixelBuffer background = PixelBuffer::Make(40, 40);
  for (size_t i = 0; i < source.pixels.size(); i += 4) {
    // Some rows opaque and some clear throughout, the runs blends skip through.
    const size_t row = i / 4 / 32;
    auto alpha = static_cast<uint8_t>(random() % 256);
    if (row % 4 == 1) alpha = 255;
    if (row % 4 == 2) alpha = 0;
    for (int c = 0; c < 3; ++c) source.pixels[i + c] = static_cast<uint8_t>(random() % (alpha + 1));
    source.pixels[i + 3] = alpha;
  }
  for (size_t i = 0; i < background.pixels.size(); ++i) {
    background.pixels[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>(random());
  }
  auto blended = [&](bool direct, bool wide) {
    PixelBuffer target = background;
    QtCanvas canvas(target);
    canvas.SetDirectPathsEnabled(direct);
    canvas.SetWideBlendEnabled(wide);
    canvas.SetClip({0, 0, 38, 40});
    canvas.BlendImage(source, {0, 0, 32, 32}, {-5, 2, 32, 32});
    canvas.BlendImage(source, {4, 4, 20, 20}, {20, 20, 20, 20});
    return target.pixels;
  };
  // Rows of 27, 32 and 20 pixels: whole vector steps and every kind of tail.
  const std::vector<uint8_t> reference = blended(false, false);
  EXPECT_EQ(blended(true, true), reference);
  EXPECT_EQ(blended(true, false), reference);
}

TEST(QtCanvas, StretchedBlendRepeatsPixelsWithoutSmoothing) {
  PixelBuffer source = PixelBuffer::Make(2, 2);
  const uint32_t colours[] = {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu};
  std::memcpy(source.pixels.data(), colours, sizeof colours);
  PixelBuffer target = PixelBuffer::Make(4, 4);
  {
    QtCanvas canvas(target);
    canvas.BlendImage(source, {0, 0, 2, 2}, {0, 0, 4, 4});
  }
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(PixelAt(target, x, y), colours[(y / 2) * 2 + x / 2]) << x << "," << y;
    }
  }
}

TEST(QtCanvas, SourceRectangleOutsideTheImageDrawsNothing) {
  PixelBuffer source = PixelBuffer::Make(4, 4);
  std::fill(source.pixels.begin(), source.pixels.end(), 255);
  const CanvasRect outside[] = {{2, 2, 4, 4}, {-1, 0, 2, 2}, {0, 0, 0, 2}, {0, 3, 8, 8}};
  for (const CanvasRect& rect : outside) {
    PixelBuffer target = PixelBuffer::Make(8, 8);
    {
      QtCanvas canvas(target);
      canvas.BlendImage(source, rect, {0, 0, 4, 4});
      canvas.BlendImage(source, rect, {0, 0, 8, 8});
    }
    EXPECT_EQ(Picture(target), Picture(PixelBuffer::Make(8, 8))) << rect.left << "," << rect.top;
  }
}

TEST(QtCanvas, FillStaysInsideTheClipAndEmptySurfaceIsHarmless) {
  PixelBuffer target = PixelBuffer::Make(4, 3);
  {
    QtCanvas canvas(target);
    canvas.SetClip({1, 1, 10, 10});
    canvas.FillRect({0, 0, 4, 3}, Rgb(1, 2, 3));
  }
  EXPECT_EQ(Picture(target), "....\n.###\n.###\n");
  EXPECT_EQ(PixelAt(target, 1, 1), 0xff010203u);

  PixelBuffer empty;
  QtCanvas canvas(empty);
  canvas.FillRect({0, 0, 4, 4}, Red);
  canvas.SetPen({2, Red});
  canvas.MoveTo({0, 0});
  canvas.LineTo({5, 0});
  const std::array<CanvasPoint, 2> points{{{0, 0}, {3, 3}}};
  canvas.Polyline(points);
  canvas.BlendImage(target, {0, 0, 4, 3}, {0, 0, 4, 3});
  EXPECT_TRUE(empty.Empty());
}

// Source pixels with every kind of row the tile blend tells apart: all
// opaque, all clear, and mixed.
PixelBuffer RandomChips(std::mt19937& random, int32_t width, int32_t height) {
  PixelBuffer source = PixelBuffer::Make(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      auto alpha = static_cast<uint8_t>(random() % 256);
      if (y % 5 == 1) alpha = 255;
      if (y % 5 == 2) alpha = 0;
      if (y % 5 == 3 && x % 3 == 0) alpha = 0;
      uint8_t* p = source.At(x, y);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(random() % (alpha + 1));
      p[3] = alpha;
    }
  }
  return source;
}

// Each batch must paint exactly what its calls one by one paint, on every
// path: tiles (and pairs of them) of the sizes the kernels are made for and
// others, wholly inside the clip, cut by it, off the surface and outside the
// source; squares and vertical lines of every pen width, cut by the clip too.
TEST(QtCanvas, BatchesPaintWhatTheirSingleCallsPaint) {
  std::mt19937 random(21);
  const PixelBuffer source = RandomChips(random, 64, 64 * 6);
  const PixelBuffer upper = RandomChips(random, 64, 64 * 6);
  PixelBuffer background = PixelBuffer::Make(150, 130);
  for (size_t i = 0; i < background.pixels.size(); ++i) {
    background.pixels[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>(random());
  }
  const CanvasRect clip{3, 5, 140, 118};
  for (int32_t side : {5, 8, 16, 24, 32, 40, 48, 56, 64}) {
    std::vector<CanvasTile> tiles;
    for (int i = 0; i < 40; ++i) {
      tiles.push_back({static_cast<int32_t>(random() % (65 - side)),
                       static_cast<int32_t>(random() % (64 * 6 - side + 1)),
                       static_cast<int32_t>(random() % 190) - 30,
                       static_cast<int32_t>(random() % 170) - 30});
    }
    tiles.push_back({64 - side + 1, 0, 10, 10});  // reaches outside the source
    tiles.push_back({0, -1, 10, 10});
    tiles.push_back({0, 0, clip.left, clip.top});  // exactly in the clip's corner
    // Pairs: the tiles' squares under squares of the other source.
    std::vector<CanvasTilePair> pairs;
    for (const CanvasTile& tile : tiles) {
      pairs.push_back({tile.sourceX, tile.sourceY, static_cast<int32_t>(random() % (65 - side)),
                       static_cast<int32_t>(random() % (64 * 6 - side + 1)), tile.targetX,
                       tile.targetY});
    }
    pairs.push_back({0, 0, 64 - side + 1, 0, 10, 10});  // the upper one outside its source
    for (bool wide : {true, false}) {
      auto painted = [&](bool batched, bool paired) {
        PixelBuffer target = background;
        QtCanvas canvas(target);
        canvas.SetWideBlendEnabled(wide);
        canvas.SetClip(clip);
        if (batched && paired) {
          canvas.BlendTilePairs(source, upper, side, pairs);
        } else if (batched) {
          canvas.BlendTiles(source, side, tiles);
        } else if (paired) {
          for (const CanvasTilePair& pair : pairs) {
            canvas.BlendImage(source, {pair.lowerX, pair.lowerY, side, side},
                              {pair.targetX, pair.targetY, side, side});
            canvas.BlendImage(upper, {pair.upperX, pair.upperY, side, side},
                              {pair.targetX, pair.targetY, side, side});
          }
        } else {
          for (const CanvasTile& tile : tiles) {
            canvas.BlendImage(source, {tile.sourceX, tile.sourceY, side, side},
                              {tile.targetX, tile.targetY, side, side});
          }
        }
        return target.pixels;
      };
      EXPECT_EQ(painted(true, false), painted(false, false)) << "side " << side << " wide " << wide;
      EXPECT_EQ(painted(true, true), painted(false, true)) << "pairs " << side << " wide " << wide;
    }
  }

  for (int32_t width = 1; width <= 4; ++width) {
    for (int32_t side : {1, 2, 3, 13, 29}) {
      std::vector<CanvasPoint> corners;
      for (int i = 0; i < 30; ++i) {
        corners.push_back(
            {static_cast<int32_t>(random() % 170) - 20, static_cast<int32_t>(random() % 150) - 20});
      }
      corners.push_back({clip.left, clip.top});
      corners.push_back({clip.left + clip.width - side - 1, clip.top + clip.height - side - 1});
      for (bool direct : {true, false}) {
        auto painted = [&](bool batched) {
          return Picture(Painted(150, 130, direct, [&](QtCanvas& canvas) {
            canvas.SetClip(clip);
            canvas.SetPen({width, Red});
            if (batched) {
              canvas.Squares(corners, side);
              return;
            }
            for (const CanvasPoint& c : corners) {
              const std::array<CanvasPoint, 5> square{{{c.x, c.y},
                                                       {c.x + side, c.y},
                                                       {c.x + side, c.y + side},
                                                       {c.x, c.y + side},
                                                       {c.x, c.y}}};
              canvas.Polyline(square);
            }
          }));
        };
        EXPECT_EQ(painted(true), painted(false))
            << "squares of " << side << " pen " << width << " direct " << direct;
      }
      // A row of them, some left out, running off both sides of the clip;
      // at the clip's top, inside it, and cut by its bottom.
      std::vector<uint8_t> drawn(40);
      for (uint8_t& d : drawn) d = random() % 4 != 0 ? 1 : 0;
      for (int32_t y : {clip.top, 60, clip.top + clip.height - side}) {
        const CanvasPoint first{-9, y};
        const int32_t step = side + 1 + static_cast<int32_t>(random() % 4);
        auto painted = [&](bool batched) {
          return Picture(Painted(150, 130, true, [&](QtCanvas& canvas) {
            canvas.SetClip(clip);
            canvas.SetPen({width, Red});
            if (batched) {
              canvas.SquareRow(first, step, drawn, side);
              return;
            }
            for (size_t i = 0; i < drawn.size(); ++i) {
              if (drawn[i] == 0) continue;
              const CanvasPoint corner{first.x + static_cast<int32_t>(i) * step, y};
              canvas.Squares(std::span<const CanvasPoint>(&corner, 1), side);
            }
          }));
        };
        EXPECT_EQ(painted(true), painted(false)) << "row of " << side << " pen " << width;
      }
    }
    const std::vector<int32_t> xs = {-3, 0, 2, 3, 4, 77, 142, 143, 149, 150, 151};
    for (auto [top, bottom] : {std::pair{-10, 200}, std::pair{20, 21}, std::pair{50, 40}}) {
      for (bool direct : {true, false}) {
        auto painted = [&](bool batched) {
          return Picture(Painted(150, 130, direct, [&](QtCanvas& canvas) {
            canvas.SetClip(clip);
            canvas.SetPen({width, Red});
            if (batched) {
              canvas.VerticalLines(xs, top, bottom);
              canvas.LineTo({0, 0});  // from where the batch left off
              return;
            }
            for (int32_t x : xs) {
              canvas.MoveTo({x, top});
              canvas.LineTo({x, bottom});
            }
            canvas.LineTo({0, 0});
          }));
        };
        EXPECT_EQ(painted(true), painted(false))
            << "lines " << top << ".." << bottom << " pen " << width << " direct " << direct;
      }
    }
  }
}

}  // namespace
}  // namespace kelvor
