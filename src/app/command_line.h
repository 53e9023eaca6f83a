#pragma once

#include <string>
#include <vector>

namespace kelvor {

// What the editor's command line asks for. It is read before Qt starts, so
// --help and --version work without a display and never meet the
// single-instance claim of a running editor.
struct EditorCommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  std::vector<std::string> documents;  // in order; the first one is opened
  std::string badOption;               // the option that made it a UsageError
};

// `args` without the program name. Qt's own options (-platform, -style, ...)
// are passed over with their values; everything after "--" is a document.
EditorCommandLine ParseEditorCommandLine(const std::vector<std::string>& args);

// The --help text.
std::string EditorUsage();

}  // namespace kelvor
