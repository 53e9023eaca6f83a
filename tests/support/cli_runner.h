#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kelvor::test {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the built kelvor-cli with `args` and no display, its output caught in
// files of `dir`; `prefix` is shell text put before the command (a limit).
inline CliRun RunCli(const TempDir& dir, const std::vector<std::string>& args,
                     const std::string& prefix = "") {
  std::string command = prefix + "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
  command += ShellQuoted(std::string(KELVOR_BIN_DIR) + "/kelvor-cli");
  for (const std::string& arg : args) {
    command += ' ';
    command += ShellQuoted(arg);
  }
  command += " >";
  command += ShellQuoted(dir.File("stdout"));
  command += " 2>";
  command += ShellQuoted(dir.File("stderr"));
  const int raw = std::system(command.c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const std::vector<uint8_t> out = ReadFileBytes(dir.File("stdout"));
  const std::vector<uint8_t> err = ReadFileBytes(dir.File("stderr"));
  run.out.assign(out.begin(), out.end());
  run.err.assign(err.begin(), err.end());
  return run;
}

}  // namespace kelvor::test
