#include "app/window_title.h"

#include "app/translations.h"
#include "platform/messages.h"

namespace kelvor {
namespace {

constexpr std::string_view MapTitleFormat =
    "%s    使用ﾁｯﾌﾟ数：%3d/%d(背景), %3d/%d(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数：%2d/%d";

}  // namespace

std::string FormatMapTitle(const MapDocument& document) {
  const TextArg args[] = {texts::AppCaption,  document.tables[0].UsedChips(),
                          ChipTableSlots - 1, document.tables[1].UsedChips(),
                          ChipTableSlots - 1, document.fileList.UsedNames(),
                          ChipFileSlots};
  return FormatText(MapTitleFormat, args);
}

}  // namespace kelvor
