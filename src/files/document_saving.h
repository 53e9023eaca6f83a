#pragma once

#include <functional>
#include <string>

#include "document/map_document.h"
#include "platform/atomic_file.h"
#include "platform/messages.h"

namespace kelvor {

// The save step both document writers share: shows the wait cursor, writes
// the bytes `serialize` produces atomically, and records the document path
// only on success. A failure shows "ファイルを作成できません" or
// "ファイルを保存できません" and leaves the old file and the path untouched.
bool SaveDocumentFile(const std::string& path, MapDocument& document, Messages& messages,
                      const std::function<void(ByteSink&)>& serialize);

// True for a written file; otherwise shows "ファイルを作成できません" or
// "ファイルを保存できません" (error icon) and gives false.
bool ReportWriteStatus(FileWriteStatus status, Messages& messages);

}  // namespace kelvor
