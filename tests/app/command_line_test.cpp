#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvor {
namespace {

using Action = EditorCommandLine::Action;

TEST(EditorCommandLine, OptionsDocumentsAndQtsOwnOptions) {
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::vector<std::string> documents;
    std::string badOption;
  };
  const Case cases[] = {
      {{}, Action::Run, {}, ""},
      {{"stage.kv", "other.kv"}, Action::Run, {"stage.kv", "other.kv"}, ""},
      {{"--help"}, Action::Help, {}, ""},
      {{"stage.kv", "-h"}, Action::Help, {"stage.kv"}, ""},
      {{"--version"}, Action::Version, {}, ""},
      {{"-v", "--bogus"}, Action::Version, {}, ""},
      {{"--bogus", "--help"}, Action::UsageError, {}, "--bogus"},
      {{"stage.kv", "-x"}, Action::UsageError, {"stage.kv"}, "-x"},
      // Qt's options are passed over with their values, never taken for documents.
      {{"-platform", "offscreen", "stage.kv"}, Action::Run, {"stage.kv"}, ""},
      {{"--style=fusion", "-reverse", "stage.kv"}, Action::Run, {"stage.kv"}, ""},
      {{"-reverse=1"}, Action::UsageError, {}, "-reverse=1"},
      // After "--" and a lone "-", names that look like options are documents.
      {{"--", "-map.kv", "--help"}, Action::Run, {"-map.kv", "--help"}, ""},
      {{"-"}, Action::Run, {"-"}, ""},
  };
  for (const Case& c : cases) {
    const EditorCommandLine line = ParseEditorCommandLine(c.args);
    const std::string name = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(line.action, c.action) << name;
    EXPECT_EQ(line.documents, c.documents) << name;
    EXPECT_EQ(line.badOption, c.badOption) << name;
  }
}

}  // namespace
}  // namespace kelvor
