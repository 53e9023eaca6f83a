#include "app/window_title.h"

#include <cstdio>

#include "platform/messages.h"

namespace kelvor {

std::string FormatMapTitle(const MapDocument& document) {
  const int backgroundUsed = document.tables[0].UsedChips();
  const int layerUsed = document.tables[1].UsedChips();
  const int filesUsed = document.fileList.UsedNames();
  const std::string name(texts::AppCaption);
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "%s    使用ﾁｯﾌﾟ数：%3d/%d(背景), %3d/%d(ﾚｲﾔｰ)    使用ﾌｧｲﾙ数：%2d/%d", name.c_str(),
                backgroundUsed, ChipTableSlots - 1, layerUsed, ChipTableSlots - 1, filesUsed,
                ChipFileSlots);
  return buffer;
}

}  // namespace kelvor
