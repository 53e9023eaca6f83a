#include "platform/qt/qt_image_codec.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QString>
#include <atomic>
#include <filesystem>

#include "platform/bmp32.h"
#include "platform/messages.h"
#include "support/fakes.h"
#include "support/png_rows.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes PixelAt(const PixelBuffer& image, int x, int y) {
  const uint8_t* p = image.At(x, y);
  return Bytes(p, p + 4);
}

QImage StraightImage(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(qRgba(10, 20, 30, 255));
  return image;
}

class QtImageCodecTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  QtImageDecoder decoder;
  QtImageEncoder encoder;
  test::RecordingMessages messages;
};

TEST_F(QtImageCodecTest, PngComesOutPremultipliedWithItsOwnAlpha) {
  QImage image = StraightImage(3, 2);
  image.setPixel(1, 0, qRgba(200, 100, 50, 128));
  image.setPixel(2, 1, qRgba(255, 255, 255, 0));
  ASSERT_TRUE(image.save(QString::fromStdString(dir.File("a.png")), "PNG"));

  PixelBuffer out;
  ASSERT_TRUE(decoder.Decode(dir.File("a.png"), out));
  ASSERT_EQ(out.width, 3);
  ASSERT_EQ(out.height, 2);
  EXPECT_EQ(PixelAt(out, 0, 0), (Bytes{30, 20, 10, 255}));
  EXPECT_EQ(PixelAt(out, 1, 0), (Bytes{25, 50, 100, 128}));  // 50, 100, 200 times 128/255
  EXPECT_EQ(PixelAt(out, 2, 1), (Bytes{0, 0, 0, 0}));
}

TEST_F(QtImageCodecTest, ReusedMemoryOfAnEarlierImageNeverLeaks) {
  QImage opaque(2, 2, QImage::Format_RGB32);
  opaque.fill(qRgb(7, 8, 9));
  ASSERT_TRUE(opaque.save(QString::fromStdString(dir.File("o.png")), "PNG"));
  QImage translucent = StraightImage(1, 1);
  translucent.setPixel(0, 0, qRgba(255, 0, 0, 51));
  ASSERT_TRUE(translucent.save(QString::fromStdString(dir.File("t.png")), "PNG"));

  PixelBuffer out = PixelBuffer::Make(64, 64);
  std::fill(out.pixels.begin(), out.pixels.end(), uint8_t{0x5A});
  ASSERT_TRUE(decoder.Decode(dir.File("o.png"), out));
  ASSERT_EQ(out.pixels.size(), 16u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(PixelAt(out, i % 2, i / 2), (Bytes{9, 8, 7, 255}));
  ASSERT_TRUE(decoder.Decode(dir.File("t.png"), out));
  EXPECT_EQ(out.pixels, (std::vector<uint8_t>{0, 0, 51, 51}));
  EXPECT_FALSE(decoder.Decode(dir.File("none.png"), out));
  EXPECT_TRUE(out.Empty());
}

TEST_F(QtImageCodecTest, TwentyFourBitBmpIsOpaque) {
  QImage image(2, 2, QImage::Format_RGB888);
  image.fill(qRgb(1, 2, 3));
  ASSERT_TRUE(image.save(QString::fromStdString(dir.File("a.bmp")), "BMP"));
  PixelBuffer out;
  ASSERT_TRUE(decoder.Decode(dir.File("a.bmp"), out));
  EXPECT_EQ(PixelAt(out, 1, 1), (Bytes{3, 2, 1, 255}));
}

TEST_F(QtImageCodecTest, ThirtyTwoBitBmpKeepsFourthByteUnpremultiplied) {
  // Any extension: the decoder goes by content.
  PixelBuffer stored = PixelBuffer::Make(2, 1);
  stored.pixels = {200, 150, 100, 0, 7, 8, 9, 77};
  test::WriteFileBytes(dir.File("sheet.dat"), WriteBmp32(stored));
  PixelBuffer out;
  ASSERT_TRUE(decoder.Decode(dir.File("sheet.dat"), out));
  EXPECT_EQ(out.pixels, stored.pixels);
}

TEST_F(QtImageCodecTest, ThirtyTwoBitBmpPixelsAfterAGap) {
  PixelBuffer stored = PixelBuffer::Make(1, 2);
  stored.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> file = WriteBmp32(stored);
  file.insert(file.begin() + 122, 300, uint8_t{0xEE});  // e.g. an embedded colour profile
  file[10] = static_cast<uint8_t>(422 & 0xFF), file[11] = static_cast<uint8_t>(422 >> 8);
  test::WriteFileBytes(dir.File("gap.bmp"), file);
  PixelBuffer out;
  ASSERT_TRUE(decoder.Decode(dir.File("gap.bmp"), out));
  EXPECT_EQ(out.pixels, stored.pixels);
}

TEST_F(QtImageCodecTest, ThirtyTwoBitBmpWithOtherMasksIsUnpacked) {
  PixelBuffer stored = PixelBuffer::Make(1, 2);
  stored.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> file = WriteBmp32(stored);
  // Red in the lowest byte, blue in the third: the reverse of the usual.
  const uint8_t masks[8] = {0xFF, 0, 0, 0, 0, 0, 0xFF, 0};
  std::copy(masks, masks + 4, file.begin() + 54);
  std::copy(masks + 4, masks + 8, file.begin() + 62);
  test::WriteFileBytes(dir.File("rgba.bmp"), file);
  PixelBuffer out;
  ASSERT_TRUE(decoder.Decode(dir.File("rgba.bmp"), out));
  EXPECT_EQ(out.pixels, (std::vector<uint8_t>{3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST_F(QtImageCodecTest, RefusesWhatIsNotAnImage) {
  test::WriteFileText(dir.File("notes.txt"), "hello, not an image\n");
  std::vector<uint8_t> damaged = WriteBmp32(PixelBuffer::Make(4, 4));
  damaged.resize(damaged.size() - 1);
  test::WriteFileBytes(dir.File("short.bmp"), damaged);
  ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0600), 0);  // would block if opened
  for (const char* name : {"notes.txt", "short.bmp", "missing.png", "pipe.png", "."}) {
    PixelBuffer out = PixelBuffer::Make(1, 1);
    EXPECT_FALSE(decoder.Decode(dir.File(name), out)) << name;
    EXPECT_TRUE(out.Empty()) << name;
  }
}

TEST_F(QtImageCodecTest, RefusesOversizedImageFromItsHeader) {
  // A 24-bit BMP header announcing 20000 x 20000 pixels and holding none.
  const Bytes header = {'B',  'M',  54, 0, 0,    0,    0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                        0x20, 0x4E, 0,  0, 0x20, 0x4E, 0, 0, 1, 0, 24, 0, 0, 0, 0,  0, 0, 0,
                        0,    0,    0,  0, 0,    0,    0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0};
  test::WriteFileBytes(dir.File("huge.bmp"), header);
  PixelBuffer out;
  EXPECT_FALSE(decoder.Decode(dir.File("huge.bmp"), out));
}

TEST_F(QtImageCodecTest, PngRoundTripWritesStraightOrPremultipliedAsAsked) {
  PixelBuffer pixels = PixelBuffer::Make(2, 1);
  pixels.pixels = {30, 20, 10, 51, 1, 2, 3, 255};  // alpha 51 divides 255 exactly

  ASSERT_TRUE(encoder.Encode(dir.File("pre.PNG"), pixels, PixelAlpha::Premultiplied, messages));
  ASSERT_TRUE(encoder.Encode(dir.File("str.png"), pixels, PixelAlpha::Straight, messages));
  EXPECT_TRUE(messages.shown.empty());

  const QImage pre(QString::fromStdString(dir.File("pre.PNG")), "PNG");
  const QImage str(QString::fromStdString(dir.File("str.png")), "PNG");
  ASSERT_FALSE(pre.isNull());
  ASSERT_FALSE(str.isNull());
  EXPECT_EQ(pre.pixel(0, 0), qRgba(50, 100, 150, 51));  // colours divided by alpha
  EXPECT_EQ(str.pixel(0, 0), qRgba(10, 20, 30, 51));    // bytes as given
  EXPECT_EQ(str.pixel(1, 0), qRgba(3, 2, 1, 255));
}

TEST_F(QtImageCodecTest, BmpKeepsAlphaAndReadsBack) {
  PixelBuffer pixels = PixelBuffer::Make(2, 2);
  pixels.pixels = {10, 20, 30, 0, 1, 2, 3, 4, 5, 6, 7, 255, 0, 0, 0, 0};
  ASSERT_TRUE(encoder.Encode(dir.File("out.bmp"), pixels, PixelAlpha::Straight, messages));
  EXPECT_EQ(test::ReadFileBytes(dir.File("out.bmp")), WriteBmp32(pixels));

  // Common readers see the alpha as well.
  const QImage viewer(QString::fromStdString(dir.File("out.bmp")));
  ASSERT_FALSE(viewer.isNull());
  EXPECT_TRUE(viewer.hasAlphaChannel());
  EXPECT_EQ(qAlpha(viewer.pixel(1, 0)), 4);
}

TEST_F(QtImageCodecTest, UnknownExtensionWarnsAndWritesBmpUnderThatName) {
  PixelBuffer pixels = PixelBuffer::Make(1, 1);
  ASSERT_TRUE(encoder.Encode(dir.File("map.dat"), pixels, PixelAlpha::Straight, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, texts::SaveAsBitmap);
  EXPECT_EQ(messages.shown[0].caption, "");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
  EXPECT_FALSE(messages.shown[0].owned);
  const Bytes bytes = test::ReadFileBytes(dir.File("map.dat"));
  ASSERT_GE(bytes.size(), 30u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[28], 32);  // 32 bits per pixel
}

TEST_F(QtImageCodecTest, JpegAndTiffGoThroughQt) {
  PixelBuffer pixels = PixelBuffer::Make(4, 4);
  for (size_t i = 0; i < pixels.pixels.size(); ++i) pixels.pixels[i] = 255;
  for (const char* name : {"a.jpg", "a.JPEG", "a.tif", "a.tiff"}) {
    ASSERT_TRUE(encoder.Encode(dir.File(name), pixels, PixelAlpha::Premultiplied, messages))
        << name;
    PixelBuffer back;
    ASSERT_TRUE(decoder.Decode(dir.File(name), back)) << name;
    EXPECT_EQ(back.width, 4) << name;
    EXPECT_GE(back.At(2, 2)[0], 250) << name;
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(QtImageCodecTest, FailuresWriteNothing) {
  PixelBuffer pixels = PixelBuffer::Make(1, 1);
  // No GIF encoder in this Qt; no extension at all; a folder that does not exist.
  EXPECT_FALSE(encoder.Encode(dir.File("a.gif"), pixels, PixelAlpha::Straight, messages));
  EXPECT_FALSE(encoder.Encode(dir.File("noextension"), pixels, PixelAlpha::Straight, messages));
  EXPECT_FALSE(encoder.Encode(dir.File("nowhere/a.png"), pixels, PixelAlpha::Straight, messages));
  EXPECT_FALSE(
      encoder.Encode(dir.File("empty.png"), PixelBuffer{}, PixelAlpha::Straight, messages));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(QtImageCodecTest, ReplacesAnExistingFileWhole) {
  test::WriteFileText(dir.File("out.bmp"), std::string(100000, 'x'));
  PixelBuffer pixels = PixelBuffer::Make(1, 1);
  ASSERT_TRUE(encoder.Encode(dir.File("out.bmp"), pixels, PixelAlpha::Straight, messages));
  EXPECT_EQ(test::ReadFileBytes(dir.File("out.bmp")), WriteBmp32(pixels));
}

// Rows taken from a picture held whole; counts the rows asked for.
class HeldPicture final : public PictureSource {
 public:
  HeldPicture(const PixelBuffer& pixels, int32_t width, int32_t height)
      : pixels_(pixels), width_(width), height_(height) {}
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool ComposeRows(int32_t top, PixelBuffer& band, RowOrder order) const override {
    rowsComposed += band.height;
    for (int32_t y = 0; y < band.height; ++y) {
      const uint8_t* row = pixels_.Row(top + y);
      std::copy(row, row + pixels_.stride,
                band.Row(order == RowOrder::TopDown ? y : band.height - 1 - y));
    }
    return true;
  }
  mutable std::atomic<int64_t> rowsComposed{0};

 private:
  const PixelBuffer& pixels_;
  int32_t width_;
  int32_t height_;
};

// Streamed in bands of 128 rows, the files hold the pixels the whole-picture
// writers gave: every alpha with colours up to it and beyond it (sheets
// taken as stored), divided out as before, and BMP byte for byte.
TEST_F(QtImageCodecTest, BandsWriteWhatTheWholePictureWritersWrote) {
  PixelBuffer pixels = PixelBuffer::Make(2048, 260);
  for (size_t i = 0; i < pixels.pixels.size() / 4; ++i) {
    const uint32_t alpha = i % 256;
    const uint32_t colour = (i / 256) % (alpha + 1);
    uint8_t* p = &pixels.pixels[i * 4];
    p[0] = static_cast<uint8_t>(colour);
    p[1] = static_cast<uint8_t>(colour * 7 % (alpha + 1));
    p[2] = static_cast<uint8_t>(colour + i / 4096);  // past the alpha now and then
    p[3] = static_cast<uint8_t>(alpha);
  }
  const HeldPicture picture(pixels, pixels.width, pixels.height);

  ASSERT_TRUE(encoder.Encode(dir.File("whole.png"), pixels, PixelAlpha::Premultiplied, messages));
  ASSERT_EQ(
      encoder.EncodeBands(dir.File("bands.png"), picture, PixelAlpha::Premultiplied, messages),
      PictureWrite::Written);
  std::vector<Bytes> wholeRows, bandRows;
  test::PngHeader header;
  ASSERT_TRUE(test::ReadPngRows(dir.File("whole.png"), header, [&](uint32_t, const uint8_t* row) {
    wholeRows.emplace_back(row, row + 2048 * 4);
  }));
  ASSERT_TRUE(test::ReadPngRows(dir.File("bands.png"), header, [&](uint32_t, const uint8_t* row) {
    bandRows.emplace_back(row, row + 2048 * 4);
  }));
  ASSERT_EQ(bandRows.size(), 260u);
  for (size_t y = 0; y < bandRows.size(); ++y) ASSERT_EQ(bandRows[y], wholeRows[y]) << "row " << y;

  ASSERT_TRUE(encoder.Encode(dir.File("whole.bmp"), pixels, PixelAlpha::Premultiplied, messages));
  ASSERT_EQ(
      encoder.EncodeBands(dir.File("bands.bmp"), picture, PixelAlpha::Premultiplied, messages),
      PictureWrite::Written);
  EXPECT_EQ(test::ReadFileBytes(dir.File("bands.bmp")), test::ReadFileBytes(dir.File("whole.bmp")));
  EXPECT_TRUE(messages.shown.empty());
}

// Sizes past a format's limits are refused from the size alone: no row is
// made and no file written.
TEST_F(QtImageCodecTest, BandsPastTheFormatsLimitsAreRefusedUnmade) {
  const PixelBuffer none;
  struct Case {
    const char* name;
    int32_t width, height;
    PictureWrite result;
  };
  const Case cases[] = {
      {"a.png", static_cast<int32_t>(MaxStreamedWidth) + 1, 1, PictureWrite::TooLarge},
      {"a.bmp", 32768, 32769, PictureWrite::TooLarge},  // 4 GiB and a row
      {"a.dat", 65536, 65536, PictureWrite::TooLarge},  // after the BMP warning
      {"a.jpg", 65536, 1, PictureWrite::TooLarge},
      {"a.tif", 16385, 16384, PictureWrite::TooLarge},
      {"a.gif", 1, 1, PictureWrite::NoEncoder},
      {"a", 1, 1, PictureWrite::NoEncoder},
      {"a.png", 0, 5, PictureWrite::Empty},
  };
  for (const Case& c : cases) {
    const HeldPicture picture(none, c.width, c.height);
    EXPECT_EQ(encoder.EncodeBands(dir.File(c.name), picture, PixelAlpha::Premultiplied, messages),
              c.result)
        << c.name;
    EXPECT_EQ(picture.rowsComposed, 0) << c.name;
  }
  EXPECT_EQ(messages.shown.size(), 1u);  // the warning for a.dat
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace kelvor
