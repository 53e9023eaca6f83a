#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace kelvor::test {

// Records every message box; questions are answered with `answer`.
class RecordingMessages : public Messages {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    MessageIcon icon;
    bool owned = true;  // on a window of the program
  };

  void Show(std::string_view text, std::string_view caption, MessageIcon icon) override {
    shown.push_back({std::string(text), std::string(caption), icon});
    if (onShow) onShow();
  }
  void ShowUnowned(std::string_view text, std::string_view caption, MessageIcon icon) override {
    Show(text, caption, icon);
    shown.back().owned = false;
  }
  bool AskYesNo(std::string_view text, std::string_view caption) override {
    asked.push_back({std::string(text), std::string(caption), MessageIcon::None});
    return answer;
  }
  Answer AskYesNoCancel(std::string_view text, std::string_view caption) override {
    asked.push_back({std::string(text), std::string(caption), MessageIcon::None});
    if (onAsk) onAsk();
    return threeWayAnswer;
  }
  void BeginWait() override { ++waitDepth, ++waitCount; }
  void EndWait() override { --waitDepth; }

  std::vector<Shown> shown;
  std::vector<Shown> asked;
  // Runs while a box is up, to look at what the user sees behind it.
  std::function<void()> onShow;
  bool answer = true;
  Answer threeWayAnswer = Answer::Cancel;
  // Runs while a Yes/No/Cancel question is up.
  std::function<void()> onAsk;
  int waitDepth = 0;  // back to 0 once every wait cursor was restored
  int waitCount = 0;
};

}  // namespace kelvor::test
