#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/canvas.h"

namespace kelvor {

struct Workspace;
class ImageEncoder;
class Messages;

// One entry of a file dialog's type list.
struct OpenFileType {
  std::string_view text;
  std::string_view pattern;
};

// The Open dialog offers documents first, maps from other editors second,
// then every file.
inline constexpr std::array<OpenFileType, 3> OpenFileTypes = {{
    {"KV ファイル (*.kv)", "*.kv"},
    {"TMX/JSON ﾏｯﾌﾟ (*.tmx *.tmj *.json)", "*.tmx *.tmj *.json"},
    {"すべてのファイル (*.*)", "*.*"},
}};

// What saving with a Save As type writes.
enum class SaveAsAction {
  BinaryDocument,
  TextDocument,
  MapData,
  BackgroundAtlas,
  LayerAtlas,
  MapImage,
  TmxMap,
  TmjMap,
  Nothing,
};

struct SaveAsType {
  std::string_view text;
  std::string_view pattern;
  std::string_view defaultExtension;  // without the dot; empty for "all files"
  SaveAsAction action;
};

// The Save As types in dialog order. Types are numbered from 1, as the user
// sees them; type 1 is preselected.
inline constexpr int32_t SaveAsTypeCount = 12;
inline constexpr int32_t SaveAsFirstType = 1;
inline constexpr std::array<SaveAsType, SaveAsTypeCount> SaveAsTypes = {{
    {"KV ファイル（バイナリ形式） (*.kv)", "*.kv", "kv", SaveAsAction::BinaryDocument},
    {"KV ファイル（テキスト形式） (*.kv)", "*.kv", "kv", SaveAsAction::TextDocument},
    {"マップファイル (*.bin)", "*.bin", "bin", SaveAsAction::MapData},
    {"背景ビットマップ (*.bmp)", "*.bmp", "bmp", SaveAsAction::BackgroundAtlas},
    {"背景PNG (*.png)", "*.png", "png", SaveAsAction::BackgroundAtlas},
    {"レイヤービットマップ (*.bmp)", "*.bmp", "bmp", SaveAsAction::LayerAtlas},
    {"レイヤーPNG (*.png)", "*.png", "png", SaveAsAction::LayerAtlas},
    {"マップビットマップ (*.bmp)", "*.bmp", "bmp", SaveAsAction::MapImage},
    {"マップPNG (*.png)", "*.png", "png", SaveAsAction::MapImage},
    {"TMX ﾏｯﾌﾟ (*.tmx)", "*.tmx", "tmx", SaveAsAction::TmxMap},
    {"JSON ﾏｯﾌﾟ (*.tmj)", "*.tmj", "tmj", SaveAsAction::TmjMap},
    {"すべてのファイル (*.*)", "*.*", "", SaveAsAction::Nothing},
}};

// The entry of a type number; the last type ("all files") for numbers out of
// range.
const SaveAsType& SaveAsTypeInfo(int32_t type);

// The part of a path after its last folder separator.
std::string_view FileNamePart(std::string_view path);

// The path to write for a name chosen with `type`: when the file name itself
// has no '.', "." and the type's default extension are appended. Dots in
// folder names do not count, so "~/.local/maps/level1" still gets its
// extension and can be opened again.
std::string WithDefaultExtension(std::string_view path, int32_t type);

// The name field after the user picked another type: the extension of the
// file name is replaced by the new type's default extension, or appended when
// the name has none. An empty field stays empty. Only the file name part is
// touched, so a typed folder with a dot in its name survives.
std::string RewriteNameForType(std::string_view fieldText, int32_t type);

// Runs the writer or exporter of `type` on the final path. The document
// writers record the path on success; the exports never do. A picture export
// that is refused or fails shows "ファイルを保存できません". "All files"
// writes nothing and gives false. `makeCanvas` draws the flags tiles of the
// engine maps.
bool RunSaveAsType(Workspace& workspace, const std::string& path, int32_t type,
                   ImageEncoder& encoder, const CanvasFactory& makeCanvas, Messages& messages);

// What the user picked in the Save As dialog.
struct SaveAsChoice {
  std::string path;  // as typed or picked, before the default extension
  int32_t type = SaveAsFirstType;
};

// The Save As dialog as the flow sees it: opens in `folder` (empty = where
// the dialog last was) with `name` in the name field and type 1 selected;
// nothing when cancelled.
class SaveAsChooser {
 public:
  virtual ~SaveAsChooser() = default;
  virtual std::optional<SaveAsChoice> Choose(const std::string& folder,
                                             const std::string& name) = 0;
};

// Save As after the chip set was optimised: asks for a name and type,
// completes the extension and writes. False when cancelled, for "all
// files", or when the writer failed.
bool SaveDocumentAs(Workspace& workspace, SaveAsChooser& chooser, ImageEncoder& encoder,
                    const CanvasFactory& makeCanvas, Messages& messages);

}  // namespace kelvor
