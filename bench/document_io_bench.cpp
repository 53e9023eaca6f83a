// Saving and loading big documents in both forms, each beside plain file
// I/O of the same number of bytes in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "app/view_scroll.h"
#include "app/window_title.h"
#include "bench_targets.h"
#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/selection.h"
#include "files/binary_document.h"
#include "files/chip_blend.h"
#include "files/engine_map_export.h"
#include "files/engine_map_import.h"
#include "files/open_document.h"
#include "files/text_document.h"
#include "platform/atomic_file.h"
#include "platform/messages.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_image_codec.h"
#include "render/paint_view.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

class SilentMessages : public Messages {
 public:
  void Show(std::string_view, std::string_view, MessageIcon) override {}
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
};

// A side x side map as a busy level looks: both levels filled from full
// tables, collision and priority flags here and there, 200 sheets of names.
void MakeBigDocument(int32_t side, MapDocument& document, ChipSheetTable& sheets) {
  document.grid.Allocate(side, side);
  std::mt19937 random(11);
  for (MapCell& cell : *document.grid.cells) {
    const uint32_t bits = random();
    cell = (1 + bits % 255) | ((bits >> 8) & 0x1100) | ((1 + (bits >> 16) % 255) << 16);
  }
  for (int32_t t = 0; t < 2; ++t) {
    ChipTable& table = document.tables[static_cast<size_t>(t)];
    table.entries[0].used = 1;
    for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
      table.entries[static_cast<size_t>(slot)] = {1, slot % 200, slot % 16, slot / 16,
                                                  static_cast<uint8_t>(slot % 2)};
    }
    table.count = ChipTableSlots;
  }
  for (int32_t i = 0; i < 200; ++i) {
    document.fileList.names[static_cast<size_t>(i)] = "chipset_" + std::to_string(i) + ".png";
  }
  for (int32_t i = 0; i < 200; ++i) {
    ChipSheet& sheet = sheets.sheets[static_cast<size_t>(i)];
    sheet.fileName = document.fileList.names[static_cast<size_t>(i)];
    sheet.chipColumns = 16;
    sheet.chipRows = 16;
    sheet.chipFlags = std::vector<uint8_t>(4 * 16 * 16, 2);
  }
  sheets.sheetCount = 200;
}

struct BigFiles {
  std::filesystem::path folder;
  std::string binary;
  std::string text;
  std::string scratch;
  size_t binaryBytes = 0;
  size_t textBytes = 0;
};

// The big files of every size, removed again when the run ends.
struct MadeFiles {
  ~MadeFiles() {
    std::error_code ignored;
    for (const auto& [side, files] : made) std::filesystem::remove_all(files.folder, ignored);
  }
  std::vector<std::pair<int32_t, BigFiles>> made;
};

// Written once per size and kept for the run.
const BigFiles& Files(int32_t side) {
  static MadeFiles all;
  std::vector<std::pair<int32_t, BigFiles>>& made = all.made;
  for (const auto& [madeSide, files] : made) {
    if (madeSide == side) return files;
  }
  BigFiles files;
  files.folder = std::filesystem::temp_directory_path() /
                 ("kelvor-bench-" + std::to_string(::getpid()) + "-" + std::to_string(side));
  std::filesystem::create_directories(files.folder);
  files.binary = (files.folder / "big-binary.kv").string();
  files.text = (files.folder / "big-text.kv").string();
  files.scratch = (files.folder / "scratch.kv").string();
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  SilentMessages messages;
  WriteBinaryDocument(files.binary, document, sheets, messages);
  WriteTextDocument(files.text, document, sheets, messages);
  files.binaryBytes = std::filesystem::file_size(files.binary);
  files.textBytes = std::filesystem::file_size(files.text);
  made.emplace_back(side, files);
  return made.back().second;
}

// Baseline: the same number of bytes written with plain POSIX calls, flushed
// to disk as a save must be (fsync), then closed.
void PlainWrite(benchmark::State& state, size_t bytes, bool sync) {
  const BigFiles& files = Files(static_cast<int32_t>(state.range(0)));
  const std::vector<char> buffer(bytes, 'x');
  for (auto _ : state) {
    const int fd = ::open(files.scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(bytes) ||
        (sync && ::fsync(fd) != 0)) {
      state.SkipWithError("plain write failed");
    }
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Baseline: the same number of bytes read into a fresh buffer.
void PlainRead(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    std::vector<char> buffer(static_cast<size_t>(size));
    if (std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
      state.SkipWithError("plain read failed");
    }
    std::fclose(file);
    benchmark::DoNotOptimize(buffer.data());
  }
}

void BM_PlainWriteBinarySize(benchmark::State& state) {
  PlainWrite(state, Files(static_cast<int32_t>(state.range(0))).binaryBytes, true);
}
void BM_PlainWriteBinarySizeNoSync(benchmark::State& state) {
  PlainWrite(state, Files(static_cast<int32_t>(state.range(0))).binaryBytes, false);
}
void BM_PlainWriteTextSize(benchmark::State& state) {
  PlainWrite(state, Files(static_cast<int32_t>(state.range(0))).textBytes, true);
}
void BM_PlainWriteTextSizeNoSync(benchmark::State& state) {
  PlainWrite(state, Files(static_cast<int32_t>(state.range(0))).textBytes, false);
}
void BM_PlainReadBinary(benchmark::State& state) {
  PlainRead(state, Files(static_cast<int32_t>(state.range(0))).binary);
}
void BM_PlainReadText(benchmark::State& state) {
  PlainRead(state, Files(static_cast<int32_t>(state.range(0))).text);
}

void BM_BinarySave(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const BigFiles& files = Files(side);
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  SilentMessages messages;
  for (auto _ : state) {
    if (!WriteBinaryDocument(files.scratch, document, sheets, messages)) {
      state.SkipWithError("save failed");
    }
  }
}

void BM_TextSave(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const BigFiles& files = Files(side);
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  SilentMessages messages;
  for (auto _ : state) {
    if (!WriteTextDocument(files.scratch, document, sheets, messages)) {
      state.SkipWithError("save failed");
    }
  }
}

// Both atlases full of the default chip set's chips, cycling through its
// sheets, so that their pictures cost what real chip art costs to encode.
void FillAtlasesWithDefaultChips(MapDocument& document) {
  std::vector<PixelBuffer> sheets(2);
  QtImageDecoder decoder;
  decoder.Decode(std::string(KELVOR_CHIP_FOLDER) + "/terrain.png", sheets[0]);
  decoder.Decode(std::string(KELVOR_CHIP_FOLDER) + "/objects.png", sheets[1]);
  std::vector<std::pair<const PixelBuffer*, CanvasTile>> chips;
  for (const PixelBuffer& sheet : sheets) {
    for (int32_t y = 0; y + ChipSize <= sheet.height; y += ChipSize) {
      for (int32_t x = 0; x + ChipSize <= sheet.width; x += ChipSize) {
        chips.push_back({&sheet, {x, y, 0, 0}});
      }
    }
  }
  if (chips.empty()) return;
  for (ChipTable& table : document.tables) {
    table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
    for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
      const auto& [sheet, chip] = chips[static_cast<size_t>(slot) % chips.size()];
      BlendChipSquare(table.atlas, (slot % 16) * ChipSize, (slot / 16) * ChipSize, *sheet,
                      chip.sourceX, chip.sourceY);
    }
  }
}

// The map for game engines, TMX with CSV layers, with its three pictures.
void BM_EngineMapSave(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const BigFiles& files = Files(side);
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  FillAtlasesWithDefaultChips(document);
  const std::string target = (files.folder / "engine.tmx").string();
  QtImageEncoder encoder;
  SilentMessages messages;
  for (auto _ : state) {
    if (WriteEngineMap(target, document, EngineMapFormat::Tmx, EngineMapEncoding::Csv, encoder,
                       MakeQtCanvas, messages) != EngineMapStatus::Ok) {
      state.SkipWithError("export failed");
    }
  }
}

// The text form without the disk: what formatting alone costs.
class CountingSink : public ByteSink {
 public:
  void Put(const void* data, size_t size) override {
    bytes += size;
    benchmark::DoNotOptimize(data);
  }
  size_t bytes = 0;
};

void BM_TextSerialize(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  for (auto _ : state) {
    CountingSink sink;
    SerializeTextDocument(sink, document, sheets);
    benchmark::DoNotOptimize(sink.bytes);
  }
}

// Loads into a document that already holds a map of the same size, as
// opening a file over an open one does.
template <bool Text>
void Load(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const BigFiles& files = Files(side);
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  SelectionState selection;
  SilentMessages messages;
  for (auto _ : state) {
    const bool read = Text
                          ? ReadTextDocument(files.text, document, sheets, selection, messages)
                          : ReadBinaryDocument(files.binary, document, sheets, selection, messages);
    if (!read) state.SkipWithError("load failed");
  }
}
void BM_BinaryLoad(benchmark::State& state) {
  Load<false>(state);
}
void BM_TextLoad(benchmark::State& state) {
  Load<true>(state);
}

// A big map from another editor opened: read, mapped to a document whose
// chips all come from the chip files the export names, and committed. The
// map is our own export of the big document, its chip files in a folder.
void ImportEngineMap(benchmark::State& state, EngineMapEncoding encoding) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const BigFiles& files = Files(side);
  MapDocument document;
  ChipSheetTable sheets;
  MakeBigDocument(side, document, sheets);
  const std::filesystem::path chips = files.folder / "chips";
  std::filesystem::create_directories(chips);
  for (int32_t i = 0; i < 200; ++i) {
    std::ofstream(chips / document.fileList.names[static_cast<size_t>(i)]) << "chip";
  }
  const std::string map =
      (files.folder / (encoding == EngineMapEncoding::Zlib ? "zlib.tmx" : "csv.tmx")).string();
  QtImageEncoder encoder;
  SilentMessages messages;
  if (WriteEngineMap(map, document, EngineMapFormat::Tmx, encoding, encoder, MakeQtCanvas,
                     messages) != EngineMapStatus::Ok) {
    state.SkipWithError("export failed");
    return;
  }
  SelectionState selection;
  QtImageDecoder decoder;
  for (auto _ : state) {
    EngineMapImport import;
    if (ReadEngineMap(map, chips.string(), decoder, import) || !import.copies.empty() ||
        !CommitParsedDocument(std::move(import.document), document, sheets, selection)) {
      state.SkipWithError("import failed");
    }
  }
}
void BM_ImportTmxCsv(benchmark::State& state) {
  ImportEngineMap(state, EngineMapEncoding::Csv);
}
void BM_ImportTmxZlib(benchmark::State& state) {
  ImportEngineMap(state, EngineMapEncoding::Zlib);
}

// The editor's open sequence for a big binary document, as its map window
// runs it, up to the first picture of the map view (offscreen, a full-HD
// window): the document read and applied to the sheets it names, the
// atlases rebuilt from them, the caption and scroll ranges refreshed, the
// view composed.
void BM_OpenToFirstPaint(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const BigFiles& files = Files(side);
  auto workspace = std::make_unique<Workspace>();
  Workspace& ws = *workspace;
  CreateChipAtlases(ws.document);
  // The chip-set folder's sheets as a scan left them: one 512 x 512 image
  // (16 x 16 chips) per name the document lists, some chips translucent.
  MapDocument named;
  MakeBigDocument(side, named, ws.sheets);
  for (int32_t i = 0; i < ws.sheets.sheetCount; ++i) {
    ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(i)];
    sheet.bitmap = PixelBuffer::Make(512, 512);
    for (int32_t y = 0; y < 512; ++y) {
      for (int32_t x = 0; x < 512; ++x) {
        uint8_t* p = sheet.bitmap.At(x, y);
        const uint8_t alpha = (x / 32 + y / 32 + i) % 5 == 0 ? 128 : 255;
        p[0] = static_cast<uint8_t>((x + i) & alpha);
        p[1] = static_cast<uint8_t>((y * 3) & alpha);
        p[2] = static_cast<uint8_t>((x ^ y) & alpha);
        p[3] = alpha;
      }
    }
    sheet.width = sheet.height = 512;
    sheet.bitsPerPixel = 32;
  }
  constexpr int32_t clientWidth = 1920;
  constexpr int32_t clientHeight = 1080;
  ViewScroll scroll(&ws.mapView());
  scroll.Init();
  scroll.UpdatePage(clientWidth, clientHeight);
  ScaledAtlasCache atlases;  // the map window keeps its own from paint to paint
  SilentMessages messages;
  for (auto _ : state) {
    OpenRefresh refresh;
    if (!OpenDocument(ws, files.binary, messages, refresh)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(FormatMapTitle(ws.document));
    RefreshMapExtent(ws, scroll);
    PaintRequest request;
    request.window = ViewMap;
    request.clientWidth = clientWidth;
    request.clientHeight = clientHeight;
    PixelBuffer picture = PaintView(ws, request, &MakeQtCanvas, atlases);
    if (picture.Empty()) state.SkipWithError("nothing painted");
    benchmark::DoNotOptimize(picture.pixels.data());
  }
}

#define KELVOR_IO_BENCH(name, ...) \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0) __VA_ARGS__

KELVOR_IO_BENCH(BM_PlainWriteBinarySize, ->Arg(4096));
KELVOR_IO_BENCH(BM_PlainWriteBinarySizeNoSync, ->Arg(4096));
KELVOR_IO_BENCH(BM_BinarySave, ->Arg(4096));
KELVOR_IO_BENCH(BM_PlainReadBinary, ->Arg(4096));
KELVOR_IO_BENCH(BM_BinaryLoad, ->Arg(4096));
KELVOR_IO_BENCH(BM_PlainWriteTextSize, ->Arg(1024)->Arg(4096));
KELVOR_IO_BENCH(BM_PlainWriteTextSizeNoSync, ->Arg(1024)->Arg(4096));
KELVOR_IO_BENCH(BM_TextSave, ->Arg(1024)->Arg(4096));
KELVOR_IO_BENCH(BM_TextSerialize, ->Arg(4096));
KELVOR_IO_BENCH(BM_EngineMapSave, ->Arg(4096));
KELVOR_IO_BENCH(BM_PlainReadText, ->Arg(1024)->Arg(4096));
KELVOR_IO_BENCH(BM_TextLoad, ->Arg(1024)->Arg(4096));
KELVOR_IO_BENCH(BM_OpenToFirstPaint, ->Arg(4096));
KELVOR_IO_BENCH(BM_ImportTmxCsv, ->Arg(4096));
KELVOR_IO_BENCH(BM_ImportTmxZlib, ->Arg(4096));

KELVOR_RATIO_TARGET("binary-save-4096", "BM_BinarySave/4096/min_time:1.000/real_time",
                    "BM_PlainWriteBinarySize/4096/min_time:1.000/real_time", 2.0);
KELVOR_RATIO_TARGET("binary-load-4096", "BM_BinaryLoad/4096/min_time:1.000/real_time",
                    "BM_PlainReadBinary/4096/min_time:1.000/real_time", 2.0);
KELVOR_RATIO_TARGET("text-save-4096", "BM_TextSave/4096/min_time:1.000/real_time",
                    "BM_PlainWriteTextSize/4096/min_time:1.000/real_time", 10.0);
// An engine map holds three layers of small numbers where the text form has
// one of big ones.
KELVOR_RATIO_TARGET("export-tmx-4096", "BM_EngineMapSave/4096/min_time:1.000/real_time",
                    "BM_TextSave/4096/min_time:1.000/real_time", 1.5);
KELVOR_RATIO_TARGET("text-load-4096", "BM_TextLoad/4096/min_time:1.000/real_time",
                    "BM_PlainReadText/4096/min_time:1.000/real_time", 10.0);
KELVOR_RATIO_TARGET("text-load-1024", "BM_TextLoad/1024/min_time:1.000/real_time",
                    "BM_PlainReadText/1024/min_time:1.000/real_time", 10.0);
KELVOR_RATIO_TARGET("open-4096-first-paint", "BM_OpenToFirstPaint/4096/min_time:1.000/real_time",
                    "BM_BinaryLoad/4096/min_time:1.000/real_time", 1.5);

// A map from another editor opens about as fast as our own text form, and
// its compressed form within a few times our binary form.
KELVOR_RATIO_TARGET("import-tmx-4096", "BM_ImportTmxCsv/4096/min_time:1.000/real_time",
                    "BM_TextLoad/4096/min_time:1.000/real_time", 1.5);
KELVOR_RATIO_TARGET("import-tmx-zlib-4096", "BM_ImportTmxZlib/4096/min_time:1.000/real_time",
                    "BM_BinaryLoad/4096/min_time:1.000/real_time", 3.0);

}  // namespace
}  // namespace kelvor
