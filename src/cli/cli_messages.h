#pragma once

#include <string>
#include <vector>

#include "platform/messages.h"

namespace kelvor::cli {

// Message boxes of the core flows, kept for the one-line report; questions
// are never asked without a display, so they are answered No.
class CollectedMessages : public Messages {
 public:
  void Show(std::string_view text, std::string_view, MessageIcon) override {
    shown.emplace_back(text);
  }
  bool AskYesNo(std::string_view, std::string_view) override { return false; }

  std::vector<std::string> shown;
};

}  // namespace kelvor::cli
