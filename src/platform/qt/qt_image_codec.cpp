#include "platform/qt/qt_image_codec.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/bmp32.h"
#include "platform/messages.h"
#include "platform/png_writer.h"

namespace kelvor {
namespace {

QString FileName(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

bool WriteAtomically(const std::string& path, const QByteArray& bytes) {
  QSaveFile file(FileName(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool DecodeBmp32(QFile& file, const Bmp32Header& header, PixelBuffer& out) {
  // The header was checked against the size limits; the file must really
  // hold every row it announces before they are read, and only they are.
  const qint64 rowsSize = static_cast<qint64>(header.bytesNeeded - header.pixelOffset);
  if (file.size() < static_cast<qint64>(header.bytesNeeded) ||
      !file.seek(static_cast<qint64>(header.pixelOffset))) {
    return false;
  }
  if (Bmp32StoresBgra(header)) {
    // The usual layout goes straight into the sheet's memory, then top-down.
    PixelBuffer pixels = PixelBuffer::Make(header.width, header.height);
    if (file.read(reinterpret_cast<char*>(pixels.pixels.data()), rowsSize) != rowsSize) {
      return false;
    }
    if (!header.topDown) {
      for (int32_t top = 0, bottom = pixels.height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(pixels.Row(top), pixels.Row(top) + pixels.stride, pixels.Row(bottom));
      }
    }
    out = std::move(pixels);
    return true;
  }
  const QByteArray rows = file.read(rowsSize);
  if (rows.size() != rowsSize) return false;
  return ReadBmp32Rows(header, reinterpret_cast<const uint8_t*>(rows.constData()),
                       static_cast<size_t>(rows.size()), out);
}

// Formats whose memory is blue, green, red, alpha (or an unused 0xFF) on
// little-endian machines.
bool IsBgra32(QImage::Format format) {
  return format == QImage::Format_ARGB32 || format == QImage::Format_RGB32 ||
         format == QImage::Format_ARGB32_Premultiplied;
}

uint32_t Premultiply(uint32_t x) {
  // Qt's own premultiplication: exact for alpha 255 and 0.
  const uint32_t a = x >> 24;
  uint32_t redBlue = (x & 0xFF00FFu) * a;
  redBlue = ((redBlue + ((redBlue >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
  uint32_t green = ((x >> 8) & 0xFFu) * a;
  green = (green + ((green >> 8) & 0xFFu) + 0x80u) & 0xFF00u;
  return redBlue | green | (a << 24);
}

// Brings pixels decoded in one of those formats to premultiplied BGRA.
void FinishBgra32(PixelBuffer& pixels, QImage::Format format) {
  if (format == QImage::Format_ARGB32_Premultiplied) return;
  uint8_t* const bytes = pixels.pixels.data();
  const size_t count = pixels.pixels.size() / 4;
  if (format == QImage::Format_RGB32) {
    for (size_t i = 0; i < count; ++i) bytes[i * 4 + 3] = 255;
    return;
  }
  size_t i = 0;
  // Chip sheets are mostly opaque: four opaque pixels are skipped at once.
  for (; i + 4 <= count; i += 4) {
    uint64_t pair[2];
    std::memcpy(pair, bytes + i * 4, 16);
    constexpr uint64_t Alphas = 0xFF000000FF000000u;
    if ((pair[0] & pair[1] & Alphas) == Alphas) continue;
    for (size_t k = i; k < i + 4; ++k) {
      uint32_t x;
      std::memcpy(&x, bytes + k * 4, 4);
      x = Premultiply(x);
      std::memcpy(bytes + k * 4, &x, 4);
    }
  }
  for (; i < count; ++i) {
    uint32_t x;
    std::memcpy(&x, bytes + i * 4, 4);
    x = Premultiply(x);
    std::memcpy(bytes + i * 4, &x, 4);
  }
}

// The name of Qt's writer for a format; empty when this Qt has none (GIF),
// which fails like a missing encoder.
QByteArray QtWriterFormat(ImageFormat format) {
  static constexpr std::pair<ImageFormat, const char*> names[] = {
      {ImageFormat::Gif, "gif"},
      {ImageFormat::Jpeg, "jpeg"},
      {ImageFormat::Png, "png"},
      {ImageFormat::Tiff, "tiff"},
  };
  for (const auto& [known, name] : names) {
    if (known == format && QImageWriter::supportedImageFormats().contains(name)) return name;
  }
  return {};
}

// A premultiplied picture's rows with straight alpha, divided out exactly as
// each format's writer did when it took the whole picture: by Qt's own
// conversion for PNG, by ours for BMP.
class StraightRows final : public PictureSource {
 public:
  StraightRows(const PictureSource& source, bool qtConversion)
      : source_(source), qtConversion_(qtConversion) {}
  int32_t Width() const override { return source_.Width(); }
  int32_t Height() const override { return source_.Height(); }
  bool ComposeRows(int32_t top, PixelBuffer& band, RowOrder order) const override {
    if (!source_.ComposeRows(top, band, order)) return false;  // zero stays zero
    if (!qtConversion_) {
      UnpremultiplyPixels(band);
      return true;
    }
    const QImage straight = QImage(band.pixels.data(), band.width, band.height, band.stride,
                                   QImage::Format_ARGB32_Premultiplied)
                                .convertToFormat(QImage::Format_ARGB32);
    if (straight.isNull()) throw std::bad_alloc();  // fails the band, and so the file
    const size_t rowBytes = static_cast<size_t>(band.stride);
    for (int32_t y = 0; y < band.height; ++y) {
      std::memcpy(band.Row(y), straight.constScanLine(y), rowBytes);
    }
    return true;
  }

 private:
  const PictureSource& source_;
  bool qtConversion_;
};

// Runs a streamed writer on a temporary file that replaces the target only
// when everything was written.
PictureWrite WriteStreamed(const std::string& path, const std::function<bool(ByteSink&)>& write) {
  AtomicFile file;
  if (!file.Open(path)) return PictureWrite::CannotCreate;
  if (!write(file)) return PictureWrite::CannotWrite;  // the temporary file goes with `file`
  switch (file.Commit()) {
    case FileWriteStatus::Ok:
      return PictureWrite::Written;
    case FileWriteStatus::CannotCreate:
      return PictureWrite::CannotCreate;
    case FileWriteStatus::CannotWrite:
      break;
  }
  return PictureWrite::CannotWrite;
}

bool TooLarge(const QSize& size) {
  return size.width() > MaxImageSide || size.height() > MaxImageSide;
}

}  // namespace

QtImageDecoder::QtImageDecoder() {
  // Qt's own default (256 MB) would refuse sheets we accept; our side limit
  // bounds the allocation instead.
  const int neededMegabytes =
      static_cast<int>(static_cast<int64_t>(MaxImageSide) * MaxImageSide * 4 / (1024 * 1024));
  if (QImageReader::allocationLimit() < neededMegabytes) {
    QImageReader::setAllocationLimit(neededMegabytes);
  }
}

bool QtImageDecoder::Decode(const std::string& path, PixelBuffer& out) {
  PixelBuffer recycled = std::move(out);  // its memory, if any, is reused
  out = PixelBuffer{};
  // Only regular files: a pipe or a device would block or never end.
  if (!QFileInfo(FileName(path)).isFile()) return false;
  QFile file(FileName(path));
  if (!file.open(QIODevice::ReadOnly)) return false;

  const QByteArray head = file.read(static_cast<qint64>(Bmp32HeaderProbeBytes));
  const Bmp32Header bmp = ParseBmp32Header(reinterpret_cast<const uint8_t*>(head.constData()),
                                           static_cast<size_t>(head.size()));
  if (bmp.kind != Bmp32Kind::NotBmp32) {
    return bmp.kind == Bmp32Kind::Bmp32 && DecodeBmp32(file, bmp, out);
  }
  if (!file.seek(0)) return false;

  QImageReader reader(&file);
  reader.setAutoTransform(false);
  const QSize announced = reader.size();
  if (announced.isValid() && TooLarge(announced)) return false;

  // Let the reader write straight into our pixel memory when it decodes to
  // a 32-bit layout of our byte order anyway: no copy, no extra pass.
  QImage image;
  const QImage::Format nativeFormat = reader.imageFormat();
  if (announced.isValid() && !announced.isEmpty() && IsBgra32(nativeFormat)) {
    PixelBuffer pixels = std::move(recycled);
    pixels.width = announced.width();
    pixels.height = announced.height();
    pixels.stride = pixels.width * 4;
    pixels.pixels.resize(static_cast<size_t>(pixels.stride) * static_cast<size_t>(pixels.height));
    image = QImage(pixels.pixels.data(), pixels.width, pixels.height, pixels.stride, nativeFormat);
    if (!reader.read(&image)) return false;
    if (image.constBits() == pixels.pixels.data() && image.format() == nativeFormat &&
        image.size() == announced) {
      image = QImage();  // drop the view before the memory moves
      FinishBgra32(pixels, nativeFormat);
      out = std::move(pixels);
      return true;
    }
  } else {
    image = reader.read();
  }
  if (image.isNull() || image.width() < 1 || image.height() < 1 || TooLarge(image.size())) {
    return false;
  }
  image.convertTo(QImage::Format_ARGB32_Premultiplied);
  if (image.format() != QImage::Format_ARGB32_Premultiplied) return false;

  PixelBuffer pixels;
  pixels.width = image.width();
  pixels.height = image.height();
  pixels.stride = pixels.width * 4;
  const size_t rowBytes = static_cast<size_t>(pixels.stride);
  if (static_cast<size_t>(image.bytesPerLine()) == rowBytes) {
    const uint8_t* bits = image.constBits();
    pixels.pixels.assign(bits, bits + rowBytes * static_cast<size_t>(pixels.height));
  } else {
    pixels.pixels.resize(rowBytes * static_cast<size_t>(pixels.height));
    for (int32_t y = 0; y < pixels.height; ++y) {
      std::memcpy(pixels.Row(y), image.constScanLine(y), rowBytes);
    }
  }
  out = std::move(pixels);
  return true;
}

bool QtImageEncoder::Encode(const std::string& path, const PixelBuffer& pixels, PixelAlpha alpha,
                            Messages& messages) {
  ImageFormat format = ImageFormatForPath(path);
  if (format == ImageFormat::None || pixels.Empty()) return false;
  if (format == ImageFormat::Unknown) {
    messages.ShowUnowned(texts::SaveAsBitmap, "", MessageIcon::Warning);
    format = ImageFormat::Bmp;
  }

  if (format == ImageFormat::Bmp) {
    if (!Bmp32Holds(pixels.width, pixels.height)) return false;
    std::vector<uint8_t> bytes;
    if (alpha == PixelAlpha::Premultiplied) {
      PixelBuffer straight = pixels;
      UnpremultiplyPixels(straight);
      bytes = WriteBmp32(straight);
    } else {
      bytes = WriteBmp32(pixels);
    }
    return WriteAtomically(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size())));
  }

  const QByteArray qtFormat = QtWriterFormat(format);
  if (qtFormat.isEmpty()) return false;

  const QImage image(
      pixels.pixels.data(), pixels.width, pixels.height, pixels.stride,
      alpha == PixelAlpha::Straight ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied);
  // Encoded in memory first: a write error inside libpng unwinds past Qt's
  // own clean-up and leaks, so the disk is only met by our checked writer.
  QByteArray encoded;
  QBuffer buffer(&encoded);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&buffer, qtFormat);
  if (!writer.write(image)) return false;
  buffer.close();
  return WriteAtomically(path, encoded);
}

PictureWrite QtImageEncoder::EncodeBands(const std::string& path, const PictureSource& source,
                                         PixelAlpha alpha, Messages& messages) {
  ImageFormat format = ImageFormatForPath(path);
  if (format == ImageFormat::None) return PictureWrite::NoEncoder;
  const int64_t width = source.Width();
  const int64_t height = source.Height();
  if (width < 1 || height < 1) return PictureWrite::Empty;
  if (format == ImageFormat::Unknown) {
    messages.Show(texts::SaveAsBitmap, "", MessageIcon::Warning);
    format = ImageFormat::Bmp;
  }
  const bool premultiplied = alpha == PixelAlpha::Premultiplied;

  if (format == ImageFormat::Png) {
    if (width > MaxStreamedWidth || height > MaxPngSide) return PictureWrite::TooLarge;
    const StraightRows straight(source, true);
    const PictureSource& rows = premultiplied ? straight : source;
    return WriteStreamed(path, [&](ByteSink& sink) { return WritePngBands(rows, sink); });
  }
  if (format == ImageFormat::Bmp) {
    if (!Bmp32Holds(width, height)) return PictureWrite::TooLarge;
    const StraightRows straight(source, false);
    const PictureSource& rows = premultiplied ? straight : source;
    return WriteStreamed(path, [&](ByteSink& sink) { return WriteBmp32Bands(rows, sink); });
  }

  // The other formats go through Qt's writers, which take a whole picture.
  if (QtWriterFormat(format).isEmpty()) return PictureWrite::NoEncoder;
  if (width * height > MaxWholePicturePixels ||
      (format == ImageFormat::Jpeg && std::max(width, height) > MaxJpegSide)) {
    return PictureWrite::TooLarge;
  }
  PixelBuffer whole;
  try {
    whole = PixelBuffer::Make(static_cast<int32_t>(width), static_cast<int32_t>(height));
  } catch (const std::bad_alloc&) {
    return PictureWrite::CannotWrite;
  }
  source.ComposeRows(0, whole, RowOrder::TopDown);
  return Encode(path, whole, alpha, messages) ? PictureWrite::Written : PictureWrite::CannotWrite;
}

}  // namespace kelvor
