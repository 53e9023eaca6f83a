#include "document/chip_sheet_loader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/parallel.h"
#include "document/map_document.h"
#include "platform/image_codec.h"

namespace kelvor {
namespace {

constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);

// The slot no longer holds an image, but its pixel memory stays for the
// next image loaded into it (a rescan reloads the same files mostly).
void FreeSheetKeepingMemory(ChipSheet& sheet) {
  sheet.bitmap.pixels.clear();
  sheet.bitmap.width = sheet.bitmap.height = sheet.bitmap.stride = 0;
  sheet.chipFlags.reset();
}

bool ChipHasTranslucentPixel(const PixelBuffer& bitmap, int32_t column, int32_t row) {
  const int32_t left = column * ChipSize;
  for (int32_t y = row * ChipSize; y < (row + 1) * ChipSize; ++y) {
    // A whole chip row at once: the alpha bytes AND to 255 only when all are.
    uint32_t row[ChipSize];
    std::memcpy(row, bitmap.At(left, y), sizeof row);
    uint32_t all = 0xFFFFFFFFu;
    for (uint32_t pixel : row) all &= pixel;
    if ((all >> 24) != 255) return true;
  }
  return false;
}

}  // namespace

std::string DefaultChipFolder(const std::string& exeFolder) {
  const std::string beside = exeFolder + Separator + "map_chip";
  std::error_code error;
  if (std::filesystem::is_directory(beside, error)) return beside;
  const std::filesystem::path installed =
      (std::filesystem::path(exeFolder) / ".." / "share" / "kelvor" / "map_chip")
          .lexically_normal();
  if (std::filesystem::is_directory(installed, error)) return installed.string();
  return beside;
}

std::string ChipFolderPath(const std::string& exeFolder, const std::string& chipFolder) {
  if (!chipFolder.empty()) return chipFolder;
  return DefaultChipFolder(exeFolder);
}

std::string ChipSheetPath(const std::string& exeFolder, const std::string& chipFolder,
                          const std::string& fileName) {
  return ChipFolderPath(exeFolder, chipFolder) + Separator + fileName;
}

SheetMenu ScanChipFolder(ChipSheetTable& sheets, const std::string& exeFolder,
                         const std::string& chipFolder, ImageDecoder& decoder) {
  for (ChipSheet& sheet : sheets.sheets) FreeSheetKeepingMemory(sheet);
  sheets.sheetCount = 0;

  const std::string folder = ChipFolderPath(exeFolder, chipFolder);
  std::vector<FolderEntry> entries;
  std::vector<std::string> names;
  if (ListFolderEntries(folder, entries)) {
    for (FolderEntry& entry : entries) {
      if (entry.directory || entry.name == "." || entry.name == "..") continue;
      // Opening a pipe or a device would wait forever or read without end.
      if (!entry.regularFile) continue;
      names.push_back(std::move(entry.name));
    }
  }
  // Decoding is nearly all of a scan: the files are decoded on every
  // processor, as many at a time as slots are left, then put into the
  // slots in the order of the listing just as one after the other would:
  // a file that fails gives its slot to the next.
  size_t next = 0;
  while (sheets.sheetCount < ChipSheetSlots && next < names.size()) {
    const size_t free = static_cast<size_t>(ChipSheetSlots - sheets.sheetCount);
    const size_t count = std::min(free, names.size() - next);
    std::vector<ChipSheet> decoded(count);
    std::vector<uint8_t> loaded(count, 0);
    for (size_t i = 0; i < count; ++i) {
      // The pixel memory of the slot each file fills unless one before fails.
      decoded[i].bitmap =
          std::move(sheets.sheets[static_cast<size_t>(sheets.sheetCount) + i].bitmap);
    }
    RunInParallel(
        count,
        [&](size_t i) {
          const std::string path = folder + Separator + names[next + i];
          loaded[i] = LoadChipSheet(decoded[i], path, true, decoder) ? 1 : 0;
        },
        ProcessorsUpTo(8));  // each decoder may hold an image and a copy
    for (size_t i = 0; i < count; ++i) {
      ChipSheet& sheet = sheets.sheets[static_cast<size_t>(sheets.sheetCount)];
      sheet.fileName = std::move(names[next + i]);
      sheet.chipColumns = 0;
      sheet.chipRows = 0;
      if (!loaded[i]) continue;  // the slot goes to the next file
      ChipSheet& image = decoded[i];
      sheet.bitmap = std::move(image.bitmap);
      sheet.width = image.width;
      sheet.height = image.height;
      sheet.bitsPerPixel = image.bitsPerPixel;
      sheet.chipColumns = image.chipColumns;
      sheet.chipRows = image.chipRows;
      sheet.chipFlags = std::move(image.chipFlags);
      ++sheets.sheetCount;
    }
    next += count;
  }
  for (int32_t i = sheets.sheetCount; i < ChipSheetSlots; ++i) {
    sheets.sheets[static_cast<size_t>(i)].bitmap = PixelBuffer{};
  }
  return RebuildFileMenu(sheets);
}

bool LoadChipSheet(ChipSheet& sheet, const std::string& path, bool allocateFlags,
                   ImageDecoder& decoder) {
  sheet.chipColumns = 0;
  sheet.chipRows = 0;
  // The previous image is gone even when the new file fails; its memory
  // goes to the decoder for reuse.
  PixelBuffer image = std::move(sheet.bitmap);
  sheet.bitmap = PixelBuffer{};
  if (!decoder.Decode(path, image) || image.Empty()) return false;

  sheet.bitmap = std::move(image);
  sheet.width = sheet.bitmap.width;
  sheet.height = sheet.bitmap.height;
  sheet.bitsPerPixel = 32;
  sheet.chipColumns = sheet.width / ChipSize;
  sheet.chipRows = sheet.height / ChipSize;

  // A kept block made for another number of chips would be read past its
  // end or put flags on the wrong chips: such a sheet starts afresh.
  const bool gridChanged = !sheet.HasFlags() || sheet.chipFlags->size() != sheet.FlagBlockSize();
  if (allocateFlags || gridChanged) {
    sheet.chipFlags.emplace(sheet.FlagBlockSize(), uint8_t{0});
    InitLayerFlags(sheet);
  }
  return true;
}

bool InitLayerFlags(ChipSheet& sheet) {
  if (!sheet.HasBitmap() || !sheet.HasFlags()) return false;
  if (sheet.bitsPerPixel != 32) return true;
  // Never trust the grid fields beyond what the image and the block hold.
  const int32_t columns = std::min(sheet.chipColumns, sheet.bitmap.width / ChipSize);
  const int32_t rows = std::min(sheet.chipRows, sheet.bitmap.height / ChipSize);
  std::vector<uint8_t>& flags = *sheet.chipFlags;
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t column = 0; column < columns; ++column) {
      const size_t index = static_cast<size_t>(row) * sheet.chipColumns + column;
      if (index >= flags.size()) return true;
      flags[index] &= ~ChipFlagLayer;
      if (ChipHasTranslucentPixel(sheet.bitmap, column, row)) flags[index] |= ChipFlagLayer;
    }
  }
  return true;
}

void ApplyTransparentColor(ChipSheet& sheet) {
  if (sheet.bitsPerPixel != 32 || sheet.transparent == 0 || !sheet.HasBitmap()) return;
  const uint8_t red = ColorRed(sheet.transparentColor);
  const uint8_t green = ColorGreen(sheet.transparentColor);
  const uint8_t blue = ColorBlue(sheet.transparentColor);
  PixelBuffer& bitmap = sheet.bitmap;
  for (int32_t y = 0; y < bitmap.height; ++y) {
    uint8_t* p = bitmap.Row(y);
    for (int32_t x = 0; x < bitmap.width; ++x, p += 4) {
      if (p[0] == blue && p[1] == green && p[2] == red) p[0] = p[1] = p[2] = p[3] = 0;
    }
  }
}

}  // namespace kelvor
