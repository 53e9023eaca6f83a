// Writes the seed corpora of the fuzz targets: a few small, valid inputs of
// each kind, so that fuzzing starts deep inside the parsers.
//   kelvor-make-seeds <fuzz/corpus folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editing/clipboard_block.h"
#include "files/binary_document.h"
#include "files/document_fixture.h"
#include "files/recovery_copy.h"
#include "files/text_document.h"
#include "platform/bmp32.h"
#include "support/byte_builder.h"
#include "workspace/workspace.h"

namespace {

using namespace kelvor;
namespace fs = std::filesystem;

void Write(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Binary(const MapDocument& document, const ChipSheetTable& sheets) {
  VectorByteSink sink;
  SerializeBinaryDocument(sink, document, sheets);
  return sink.bytes;
}

std::vector<uint8_t> Text(const MapDocument& document, const ChipSheetTable& sheets) {
  VectorByteSink sink;
  SerializeTextDocument(sink, document, sheets);
  return sink.bytes;
}

std::vector<uint8_t> WithLf(std::vector<uint8_t> crlf) {
  std::vector<uint8_t> out;
  for (uint8_t byte : crlf) {
    if (byte != '\r') out.push_back(byte);
  }
  return out;
}

// Names the open target's chip set knows (in another letter case), one it
// lacks, chips inside, on the edge of and beyond their sheets.
void OpenDocumentSeed(MapDocument& document) {
  document.fileList.names[0] = "TILES.png";
  document.fileList.names[1] = "odd.png";
  document.fileList.names[2] = "gone.png";
  ChipTable& background = document.tables[0];
  background.entries[0] = {1, 0, 0, 0, 0};
  background.entries[1] = {1, 0, 1, 1, 0};
  background.entries[2] = {1, 1, 0, 1, 0x01};
  background.entries[3] = {1, 1, 1, 2, 0};
  background.entries[4] = {1, 2, 0, 0, 0};
  background.count = 5;
  ChipTable& layer = document.tables[1];
  layer.entries[0] = {1, 0, 0, 0, 0};
  layer.entries[1] = {1, 0, 2, 0, 0x10};
  layer.count = 2;
  document.grid.Allocate(5, 4);
  for (size_t i = 0; i < document.grid.cells->size(); ++i) {
    (*document.grid.cells)[i] = static_cast<MapCell>((i % 5) | ((i % 2) << 8));
  }
}

std::vector<uint8_t> ClipboardSeed(int32_t width, int32_t height) {
  std::vector<MapCell> cells;
  std::vector<uint8_t> mask;
  for (int32_t i = 0; i < width * height; ++i) {
    cells.push_back(static_cast<MapCell>(0x00010001u * static_cast<uint32_t>(i + 1)));
    mask.push_back(static_cast<uint8_t>(i % 2));
  }
  const ClipboardBlockBytes block = EncodeClipboardBlock(width, height, cells, mask);
  // The fuzz target's framing: size block length, cell count, then the blocks.
  std::vector<uint8_t> out = {static_cast<uint8_t>(block.blockSize.size()),
                              static_cast<uint8_t>(block.blockCells.size() / 4)};
  out.insert(out.end(), block.blockSize.begin(), block.blockSize.end());
  out.insert(out.end(), block.blockCells.begin(), block.blockCells.end());
  out.insert(out.end(), block.blockMask.begin(), block.blockMask.end());
  return out;
}

PixelBuffer Gradient(int32_t width, int32_t height) {
  PixelBuffer pixels = PixelBuffer::Make(width, height);
  for (size_t i = 0; i < pixels.pixels.size(); ++i) pixels.pixels[i] = static_cast<uint8_t>(i * 13);
  return pixels;
}

// A BMP with a 40-byte info header, optional masks after it and the rows
// stored top-down when `height` is negative.
std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint32_t compression,
                         std::vector<uint32_t> masks) {
  const int32_t rows = height < 0 ? -height : height;
  const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(masks.size());
  const uint32_t imageBytes = static_cast<uint32_t>(width * rows * 4);
  test::ByteBuilder b;
  b.Text("BM").I32(offset + imageBytes).I32(0).I32(offset);
  b.I32(40).I32(width).I32(height).Raw({1, 0, 32, 0}).I32(compression).I32(imageBytes);
  b.I32(2835).I32(2835).I32(0).I32(0);
  for (uint32_t mask : masks) b.I32(mask);
  for (uint32_t i = 0; i < imageBytes; ++i) b.Raw({static_cast<uint8_t>(i * 29 + 3)});
  return b.bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvor-make-seeds <corpus folder>\n");
    return 2;
  }
  const fs::path root = argv[1];

  test::SmallDocument small;
  MapDocument empty;
  empty.grid.Allocate(0, 0);
  ChipSheetTable noSheets;
  MapDocument open;
  OpenDocumentSeed(open);

  Write(root / "binary_document", "small.kv", Binary(small.document, small.sheets));
  Write(root / "binary_document", "empty.kv", Binary(empty, noSheets));
  {
    // An unknown chunk between known ones is skipped by its size.
    std::vector<uint8_t> bytes = Binary(empty, noSheets);
    test::ByteBuilder extra;
    extra.Chunk("future_chunk", 3).Raw({1, 2, 3});
    bytes[4] += 1;  // one more chunk
    bytes.insert(bytes.begin() + 8, extra.bytes.begin(), extra.bytes.end());
    Write(root / "binary_document", "unknown_chunk.kv", bytes);
  }

  Write(root / "text_document", "small.kv", Text(small.document, small.sheets));
  Write(root / "text_document", "small_lf.kv", WithLf(Text(small.document, small.sheets)));
  Write(root / "text_document", "empty.kv", Text(empty, noSheets));

  Write(root / "open_document", "binary.kv", Binary(open, noSheets));
  Write(root / "open_document", "text.kv", Text(open, noSheets));
  Write(root / "open_document", "small.kv", Binary(small.document, small.sheets));

  {
    // The recovery copy target appends the checksum itself.
    Workspace ws;
    ws.document.grid.Allocate(3, 2);
    *ws.document.grid.cells = {0x00000001, 0x00010102, 0, 0x00001000, 0x80000001, 2};
    ws.document.fileList.names[0] = "tiles.png";
    StoreDocumentPath(ws.document, "/maps/stage.kv");
    ws.folders.chipFolder = "/chips";
    RecoverySnapshot snapshot;
    TakeRecoverySnapshot(ws, RecoverySnapshot{}, snapshot, 1700000000);
    VectorByteSink sink;
    SerializeRecoveryCopy(sink, snapshot);
    sink.bytes.resize(sink.bytes.size() - 8);
    Write(root / "recovery_copy", "small.kv", sink.bytes);
  }

  Write(root / "clipboard_block", "block_3x2", ClipboardSeed(3, 2));
  Write(root / "clipboard_block", "block_1x1", ClipboardSeed(1, 1));
  Write(root / "clipboard_block", "block_0x0", ClipboardSeed(0, 0));

  Write(root / "bmp32", "written_3x2.bmp", WriteBmp32(Gradient(3, 2)));
  Write(root / "bmp32", "rgb_top_down.bmp", Bmp(2, -2, 0, {}));
  Write(root / "bmp32", "bitfields.bmp", Bmp(2, 1, 3, {0x00FF0000, 0x0000FF00, 0x000000FF}));
  Write(root / "bmp32", "bitfields_10bit.bmp",
        Bmp(2, 2, 6, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}));
  return 0;
}
