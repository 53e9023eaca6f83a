#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_targets.h"
#include "document/chip_sheet_loader.h"
#include "platform/qt/qt_image_codec.h"

namespace kelvor {
namespace {

constexpr int SheetFiles = 64;
constexpr int SheetSide = 1024;

// 64 PNG chip sheets of 1024 x 1024 with some translucent chips, made once
// per run in a temporary folder.
class SheetFolder {
 public:
  SheetFolder() {
    folder_ = std::filesystem::temp_directory_path() /
              ("kelvor-bench-sheets-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    QImage image(SheetSide, SheetSide, QImage::Format_ARGB32);
    for (int i = 0; i < SheetFiles; ++i) {
      for (int y = 0; y < SheetSide; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < SheetSide; ++x) {
          const int alpha = ((x / 32 + y / 32 + i) % 7 == 0) ? 128 : 255;
          row[x] = qRgba((x * 7 + i) & 255, (y * 3) & 255, (x ^ y) & 255, alpha);
        }
      }
      const std::string name = "sheet" + std::to_string(i) + ".png";
      image.save(QString::fromStdString((folder_ / name).string()), "PNG");
      files_.push_back((folder_ / name).string());
    }
  }
  ~SheetFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Folder() const { return folder_.string(); }
  const std::vector<std::string>& Files() const { return files_; }

 private:
  std::filesystem::path folder_;
  std::vector<std::string> files_;
};

const SheetFolder& Sheets() {
  static SheetFolder folder;
  return folder;
}

void BM_SheetScan64(benchmark::State& state) {
  const SheetFolder& folder = Sheets();
  QtImageDecoder decoder;
  ChipSheetTable sheets;
  for (auto _ : state) {
    ScanChipFolder(sheets, "", folder.Folder(), decoder);
    if (sheets.sheetCount != SheetFiles) state.SkipWithError("not every sheet loaded");
    benchmark::DoNotOptimize(sheets.sheets[0].chipFlags);
  }
}
BENCHMARK(BM_SheetScan64)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same files decoded by Qt alone, in the image's own format.
void BM_SheetDecode64(benchmark::State& state) {
  const SheetFolder& folder = Sheets();
  for (auto _ : state) {
    for (const std::string& file : folder.Files()) {
      QImageReader reader(QString::fromStdString(file));
      QImage image = reader.read();
      benchmark::DoNotOptimize(image.constBits());
    }
  }
}
BENCHMARK(BM_SheetDecode64)->Unit(benchmark::kMillisecond)->MinTime(2.0);

KELVOR_RATIO_TARGET("sheet-scan-64", "BM_SheetScan64/min_time:2.000",
                    "BM_SheetDecode64/min_time:2.000", 0.75);

}  // namespace
}  // namespace kelvor
