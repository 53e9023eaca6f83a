#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kelvor {
namespace {

// The options every Qt program takes, so that `kelvor -platform offscreen`
// and `kelvor -style fusion map.kv` keep working. Both one and two leading
// dashes are accepted, and "name=value" for those with a value.
constexpr std::array<std::string_view, 16> QtOptionsWithValue = {
    "style",         "stylesheet", "platform",        "platformpluginpath",
    "platformtheme", "plugin",     "qwindowgeometry", "qwindowicon",
    "qwindowtitle",  "session",    "display",         "geometry",
    "qmljsdebugger", "dialogs",    "fontengine",      "name"};
constexpr std::array<std::string_view, 6> QtFlags = {"reverse", "widgetcount", "nograb",
                                                     "dograb",  "sync",        "testability"};

bool Contains(const auto& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

}  // namespace

EditorCommandLine ParseEditorCommandLine(const std::vector<std::string>& args) {
  EditorCommandLine line;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      line.documents.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "-h" || word == "--help") {
      line.action = EditorCommandLine::Action::Help;
      return line;
    }
    if (word == "-v" || word == "--version") {
      line.action = EditorCommandLine::Action::Version;
      return line;
    }
    std::string_view name(word);
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    const size_t equals = name.find('=');
    const bool hasValue = equals != std::string_view::npos;
    name = name.substr(0, equals);
    if (Contains(QtOptionsWithValue, name)) {
      if (!hasValue) ++i;  // its value is the next word
      continue;
    }
    if (Contains(QtFlags, name) && !hasValue) continue;
    line.action = EditorCommandLine::Action::UsageError;
    line.badOption = word;
    return line;
  }
  return line;
}

std::string EditorUsage() {
  return "usage: kelvor [OPTION] [DOCUMENT]\n"
         "Starts the Kelvor map editor and opens DOCUMENT (a *.kv map) when one is given.\n"
         "Only one editor runs per desktop session: starting it again brings the running\n"
         "one to the front and opens nothing.\n"
         "\n"
         "  -h, --help     print this help and exit\n"
         "  -v, --version  print the version and exit\n"
         "\n"
         "Qt's own options (-platform, -style, ...) are accepted too.\n";
}

}  // namespace kelvor
