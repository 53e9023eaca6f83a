#pragma once

#include <functional>

namespace kelvor {

struct Workspace;
class Messages;

// Whether the open document holds work that a replacement (New, Open, a
// dropped or handed-over file) or the end of the editor would lose: changes
// not in any document file, on a map that exists.
bool HasUnsavedWork(const Workspace& workspace);

// Asked before the open document is replaced or the editor ends. Without
// unsaved work: true, nothing asked. Otherwise "変更が保存されていません。
// 保存しますか？": Yes runs `save` (the Save command's way, Save As for a
// document without a file) and goes on only when the changes are in a
// document file afterwards; No goes on and gives them up; Cancel stops.
bool MayReplaceDocument(const Workspace& workspace, Messages& messages,
                        const std::function<void()>& save);

}  // namespace kelvor
