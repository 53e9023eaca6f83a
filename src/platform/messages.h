#pragma once

#include <string>
#include <string_view>

namespace kelvor {

// The program's own message texts, in one place.
namespace texts {
inline constexpr std::string_view AppCaption = "Kelvor";
inline constexpr std::string_view CannotCreateFile = "ファイルを作成できません";
inline constexpr std::string_view CannotSaveFile = "ファイルを保存できません";
inline constexpr std::string_view CannotReadFile = "ファイルを読み込めません";
inline constexpr std::string_view WrongVersion = "ファイル バージョンが違います";
inline constexpr std::string_view MissingImagesCaption = "以下の画像ファイルがありません";
inline constexpr std::string_view SaveAsBitmap = "ビットマップ形式で保存します";
inline constexpr std::string_view ConfirmQuit = "終了しますか？";
// Before unsaved changes would be replaced (New, Open, a drop) or lost at exit.
inline constexpr std::string_view ConfirmSaveChanges = "変更が保存されていません。保存しますか？";
inline constexpr std::string_view ConfirmClearCollision =
    "当たり判定ﾌﾗｸﾞ全消去は[元に戻す]が使えませんが実行しますか？";
inline constexpr std::string_view ConfirmClearPriority =
    "ﾚｲﾔｰ優先度ﾌﾗｸﾞ全消去は[元に戻す]が使えませんが実行しますか？";
// Formatted with the chip-set folder path.
inline constexpr std::string_view MissingChipFolder =
    "チップセット フォルダがありません\n[設定]で指定してください\n%s";
// Formatted with the places looked at, one per line.
inline constexpr std::string_view CannotOpenManual =
    "説明書を開けません\n以下の場所を探しました\n%s";
// At start-up, when an editor ended without saving: formatted with the
// document's file name (or RecoveryUntitled) and the time of the copy.
inline constexpr std::string_view RecoveryQuestion =
    "前回終了時に保存されていなかった編集内容があります\nファイル：%s\n時刻：%s\n復元しますか？";
inline constexpr std::string_view RecoveryUntitled = "（名前なし）";
inline constexpr std::string_view RecoveryDamaged = "復元用ファイルが壊れていたため削除しました";
}  // namespace texts

enum class MessageIcon { None, Warning, Error };

enum class Answer { Yes, No, Cancel };

// Message boxes and the wait cursor. Core flows receive it; the editor shows
// real boxes, the command-line tool prints, tests record.
class Messages {
 public:
  virtual ~Messages() = default;
  // An OK box. An empty caption is shown as empty.
  virtual void Show(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
  // An OK box that belongs to no window of the program.
  virtual void ShowUnowned(std::string_view text, std::string_view caption, MessageIcon icon) {
    Show(text, caption, icon);
  }
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;
  // A Yes/No/Cancel question, Yes the default. Where no one can answer, the
  // answer is Cancel: nothing goes ahead that was not agreed to.
  virtual Answer AskYesNoCancel(std::string_view /*text*/, std::string_view /*caption*/) {
    return Answer::Cancel;
  }
  virtual void BeginWait() {}
  virtual void EndWait() {}
};

// Shows the wait cursor for one scope and restores the previous one on every return.
class WaitCursorScope {
 public:
  explicit WaitCursorScope(Messages& messages) : messages_(messages) { messages_.BeginWait(); }
  ~WaitCursorScope() { messages_.EndWait(); }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;

 private:
  Messages& messages_;
};

}  // namespace kelvor
