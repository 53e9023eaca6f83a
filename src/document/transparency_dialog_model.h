#pragma once

#include <cstdint>
#include <string>

#include "document/chip_sheet.h"

namespace kelvor {

class ImageDecoder;

// The logic of the transparency dialog ("透過色設定"), always for the sheet
// that is current when it opens. Choices take effect on the sheet at once;
// Cancel puts the remembered values back, OK reloads the image so that a
// changed or removed key shows.
class TransparencyDialogModel {
 public:
  void Open(ChipSheetTable& sheets);

  bool KeyOn() const;                             // "あり" checked, else "なし"
  bool ChooseEnabled() const { return KeyOn(); }  // "設定..." enabled
  Color KeyColor() const;                         // the colour chooser starts here

  void SetKeyOn(bool on);         // "なし" / "あり"
  void SetKeyColor(Color color);  // a confirmed colour choice

  // OK: reloads the sheet's file keeping its flags, then applies the key.
  // True when the reload succeeded and the palette must be repainted.
  bool Accept(const std::string& exeFolder, const std::string& chipFolder, ImageDecoder& decoder);
  // "ｷｬﾝｾﾙ": the remembered key setting comes back; pixels are untouched.
  void Cancel();
  // Whether the sheet's key differs from the one it had when the dialog opened.
  bool KeyChanged() const;

 private:
  ChipSheetTable* sheets_ = nullptr;
  int32_t sheetIndex_ = 0;
  int32_t savedTransparent_ = 0;
  Color savedColor_ = 0;

  ChipSheet* Sheet() const;
};

}  // namespace kelvor
