// The picture of a 256 x 256-cell map with both levels full (8192 x 8192
// pixels, 256 MiB): PNG against Qt's own PNG writer at its default settings,
// BMP against a plain write of as many bytes, and the memory a PNG export
// takes beyond the document.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <QImage>
#include <QImageWriter>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_targets.h"
#include "files/chip_blend.h"
#include "files/image_export.h"
#include "platform/messages.h"
#include "platform/qt/qt_image_codec.h"

namespace kelvor {
namespace {

constexpr int32_t MapSide = 256;

class SilentMessages : public Messages {
 public:
  void Show(std::string_view, std::string_view, MessageIcon) override {}
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
};

// The chips of one sheet of the default chip set, in reading order, put
// into table slots from 1 on.
void FillAtlas(const std::string& sheetPath, PixelBuffer& atlas, int32_t& chips) {
  QtImageDecoder decoder;
  PixelBuffer sheet;
  atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
  chips = 0;
  if (!decoder.Decode(sheetPath, sheet)) return;
  for (int32_t y = 0; y + ChipSize <= sheet.height; y += ChipSize) {
    for (int32_t x = 0; x + ChipSize <= sheet.width && chips < 255; x += ChipSize) {
      const int32_t slot = ++chips;
      BlendChipSquare(atlas, slot % 16 * ChipSize, slot / 16 * ChipSize, sheet, x, y);
    }
  }
}

// Terrain under every cell, an object over every cell, picked at random
// from the default chip set: the picture a busy level gives.
struct ExportDocument {
  MapDocument document;
  std::filesystem::path folder;

  ExportDocument() {
    int32_t terrain = 0;
    int32_t objects = 0;
    FillAtlas(std::string(KELVOR_CHIP_FOLDER) + "/terrain.png", document.tables[0].atlas, terrain);
    FillAtlas(std::string(KELVOR_CHIP_FOLDER) + "/objects.png", document.tables[1].atlas, objects);
    ready = terrain > 0 && objects > 0;
    document.grid.Allocate(MapSide, MapSide);
    std::mt19937 random(5);
    for (MapCell& cell : *document.grid.cells) {
      const uint32_t background = terrain > 0 ? 1 + random() % static_cast<uint32_t>(terrain) : 0;
      const uint32_t layer = objects > 0 ? 1 + random() % static_cast<uint32_t>(objects) : 0;
      cell = background | (layer << 16);
    }
    folder = std::filesystem::temp_directory_path() /
             ("kelvor-bench-export-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
  }
  ~ExportDocument() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::string File(const char* name) const { return (folder / name).string(); }

  bool ready = false;  // both sheets were read
};

const ExportDocument& Document() {
  static ExportDocument document;
  return document;
}

// The picture the export writes, made whole, as Qt's writer needs it.
const PixelBuffer& WholePicture() {
  static const PixelBuffer picture = [] {
    const MapPicture source(Document().document, true);
    PixelBuffer whole = PixelBuffer::Make(source.Width(), source.Height());
    source.ComposeRows(0, whole, RowOrder::TopDown);
    return whole;
  }();
  return picture;
}

QImage WholeImage() {
  const PixelBuffer& picture = WholePicture();
  return QImage(picture.pixels.data(), picture.width, picture.height, picture.stride,
                QImage::Format_ARGB32_Premultiplied);
}

double FileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0.0 : static_cast<double>(size);
}

// Qt's file of the same picture, written once, for the size comparison.
double QtPngSize() {
  static const double size = [] {
    const std::string path = Document().File("qt-size.png");
    QImageWriter writer(QString::fromStdString(path), "png");
    return writer.write(WholeImage()) ? FileSize(path) : 0.0;
  }();
  return size;
}

void BM_QtWritePngMap256(benchmark::State& state) {
  const QImage image = WholeImage();
  const QString path = QString::fromStdString(Document().File("qt.png"));
  for (auto _ : state) {
    QImageWriter writer(path, "png");
    if (!writer.write(image)) state.SkipWithError("Qt could not write the picture");
  }
}
BENCHMARK(BM_QtWritePngMap256)->Unit(benchmark::kMillisecond)->UseRealTime();

// One export of the map picture to `name` in the bench folder.
std::string ExportOnce(benchmark::State& state, const char* name) {
  const ExportDocument& document = Document();
  const std::string path = document.File(name);
  QtImageEncoder encoder;
  SilentMessages messages;
  if (!document.ready) {
    state.SkipWithError("no default chip set");
  } else if (ExportMapImage(path, document.document, true, encoder, messages) !=
             PictureWrite::Written) {
    state.SkipWithError("export failed");
  }
  return path;
}

void BM_ExportPngMap256(benchmark::State& state) {
  std::string path;
  for (auto _ : state) path = ExportOnce(state, "map.png");
  const double qtSize = QtPngSize();
  state.counters["size_ratio"] = qtSize > 0 ? FileSize(path) / qtSize : -1;
}
BENCHMARK(BM_ExportPngMap256)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline for BMP: as many bytes written with plain checked calls and
// flushed to disk, as a save is.
void BM_PlainWriteBmpSize(benchmark::State& state) {
  const size_t bytes = size_t{MapSide} * ChipSize * MapSide * ChipSize * 4 + 138;
  const std::vector<char> buffer(bytes, 'x');
  const std::string path = Document().File("plain.bmp");
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, buffer.data(), bytes) != static_cast<ssize_t>(bytes) ||
        ::fsync(fd) != 0) {
      state.SkipWithError("plain write failed");
    }
    ::close(fd);
  }
}
BENCHMARK(BM_PlainWriteBmpSize)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportBmpMap256(benchmark::State& state) {
  for (auto _ : state) ExportOnce(state, "map.bmp");
}
BENCHMARK(BM_ExportBmpMap256)->Unit(benchmark::kMillisecond)->UseRealTime();

// Kilobytes of one line of /proc/self/status ("VmRSS:", "VmHWM:").
double StatusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size()));
  }
  return -1;
}

// The resident memory's peak during one PNG export above what was resident
// before it, the document and its atlases included in the latter.
void BM_ExportPngMemory256(benchmark::State& state) {
  Document();  // made before the measurement starts
  double mib = -1;
  for (auto _ : state) {
    // Memory freed by earlier benchmarks goes back first, or the export
    // would reuse it unseen; writing 5 restarts the peak at what is
    // resident now.
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = StatusKilobytes("VmRSS:");
    ExportOnce(state, "memory.png");
    const double peak = StatusKilobytes("VmHWM:");
    if (before < 0 || peak < 0) state.SkipWithError("no /proc/self/status");
    mib = (peak - before) / 1024.0;
  }
  state.counters["MiB"] = mib;
}
BENCHMARK(BM_ExportPngMemory256)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvor

KELVOR_RATIO_TARGET("export-png-map-256", "BM_ExportPngMap256/real_time",
                    "BM_QtWritePngMap256/real_time", 0.5);
KELVOR_COUNTER_TARGET("export-png-size", "BM_ExportPngMap256/real_time", "size_ratio", 1.2);
KELVOR_RATIO_TARGET("export-bmp-map-256", "BM_ExportBmpMap256/real_time",
                    "BM_PlainWriteBmpSize/real_time", 1.3);
KELVOR_COUNTER_TARGET("export-memory-map-256", "BM_ExportPngMemory256/iterations:1", "MiB", 48);
