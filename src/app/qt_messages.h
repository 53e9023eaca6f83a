#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/messages.h"

namespace kelvor {

// Message boxes on a window of the editor and the wait cursor, on Qt. Texts
// and captions arrive in Japanese and are shown in the interface language.
class QtMessages : public Messages {
 public:
  explicit QtMessages(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void Show(std::string_view text, std::string_view caption, MessageIcon icon) override;
  void ShowUnowned(std::string_view text, std::string_view caption, MessageIcon icon) override;
  bool AskYesNo(std::string_view text, std::string_view caption) override;
  Answer AskYesNoCancel(std::string_view text, std::string_view caption) override;
  void BeginWait() override;
  void EndWait() override;

 private:
  void ShowBox(std::string_view text, std::string_view caption, MessageIcon icon, QWidget* owner);

  QPointer<QWidget> owner_;
};

}  // namespace kelvor
