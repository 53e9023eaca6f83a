#include "document/transparency_dialog_model.h"

#include "document/chip_sheet_loader.h"

namespace kelvor {

void TransparencyDialogModel::Open(ChipSheetTable& sheets) {
  sheets_ = &sheets;
  sheetIndex_ = sheets.currentSheet;
  const ChipSheet* sheet = Sheet();
  savedTransparent_ = sheet ? sheet->transparent : 0;
  savedColor_ = sheet ? sheet->transparentColor : 0;
}

ChipSheet* TransparencyDialogModel::Sheet() const {
  if (sheets_ == nullptr || sheetIndex_ < 0 || sheetIndex_ >= ChipSheetSlots) return nullptr;
  return &sheets_->sheets[static_cast<size_t>(sheetIndex_)];
}

bool TransparencyDialogModel::KeyOn() const {
  const ChipSheet* sheet = Sheet();
  return sheet && sheet->transparent != 0;
}

Color TransparencyDialogModel::KeyColor() const {
  const ChipSheet* sheet = Sheet();
  return sheet ? sheet->transparentColor : 0;
}

void TransparencyDialogModel::SetKeyOn(bool on) {
  if (ChipSheet* sheet = Sheet()) sheet->transparent = on ? 1 : 0;
}

void TransparencyDialogModel::SetKeyColor(Color color) {
  if (ChipSheet* sheet = Sheet()) sheet->transparentColor = color;
}

bool TransparencyDialogModel::Accept(const std::string& exeFolder, const std::string& chipFolder,
                                     ImageDecoder& decoder) {
  ChipSheet* sheet = Sheet();
  // With no sheet loaded in the slot there is no file to reload: a stale
  // name left by an earlier scan must not bring a sheet back outside the table.
  if (sheet == nullptr || sheetIndex_ >= sheets_->sheetCount) return false;
  if (!LoadChipSheet(*sheet, ChipSheetPath(exeFolder, chipFolder, sheet->fileName), false,
                     decoder)) {
    return false;
  }
  ApplyTransparentColor(*sheet);
  return true;
}

bool TransparencyDialogModel::KeyChanged() const {
  const ChipSheet* sheet = Sheet();
  return sheet != nullptr &&
         (sheet->transparent != savedTransparent_ || sheet->transparentColor != savedColor_);
}

void TransparencyDialogModel::Cancel() {
  if (ChipSheet* sheet = Sheet()) {
    sheet->transparent = savedTransparent_;
    sheet->transparentColor = savedColor_;
  }
}

}  // namespace kelvor
