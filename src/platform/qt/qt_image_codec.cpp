#include "platform/qt/qt_image_codec.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <cstring>

#include "platform/bmp32.h"
#include "platform/messages.h"

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
  // hold every row it announces before we read it.
  if (file.size() < static_cast<qint64>(header.bytesNeeded) || !file.seek(0)) return false;
  const QByteArray bytes = file.read(static_cast<qint64>(header.bytesNeeded));
  if (bytes.size() != static_cast<qsizetype>(header.bytesNeeded)) return false;
  return ReadBmp32(reinterpret_cast<const uint8_t*>(bytes.constData()),
                   static_cast<size_t>(bytes.size()), out);
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
  out = PixelBuffer{};
  QFile file(FileName(path));
  if (!file.open(QIODevice::ReadOnly)) return false;

  const QByteArray head = file.read(static_cast<qint64>(Bmp32HeaderProbeBytes));
  const Bmp32Header bmp = ParseBmp32Header(reinterpret_cast<const uint8_t*>(head.constData()),
                                           static_cast<size_t>(head.size()));
  if (bmp.kind == Bmp32Kind::Damaged) return false;
  if (bmp.kind == Bmp32Kind::Bmp32) return DecodeBmp32(file, bmp, out);
  if (!file.seek(0)) return false;

  QImageReader reader(&file);
  reader.setAutoTransform(false);
  const QSize announced = reader.size();
  if (announced.isValid() && TooLarge(announced)) return false;
  QImage image = reader.read();
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
    messages.Show(texts::SaveAsBitmap, "", MessageIcon::Warning);
    format = ImageFormat::Bmp;
  }

  if (format == ImageFormat::Bmp) {
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

  QByteArray qtFormat;
  switch (format) {
    case ImageFormat::Gif:
      qtFormat = "gif";
      break;
    case ImageFormat::Jpeg:
      qtFormat = "jpeg";
      break;
    case ImageFormat::Png:
      qtFormat = "png";
      break;
    case ImageFormat::Tiff:
      qtFormat = "tiff";
      break;
    default:
      return false;
  }
  // A format this Qt cannot write (GIF) fails like a missing encoder.
  if (!QImageWriter::supportedImageFormats().contains(qtFormat)) return false;

  const QImage image(
      pixels.pixels.data(), pixels.width, pixels.height, pixels.stride,
      alpha == PixelAlpha::Straight ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied);
  QSaveFile file(FileName(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, qtFormat);
  if (!writer.write(image)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace kelvor
