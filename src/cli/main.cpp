#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_commands.h"

namespace {

std::string ExecutableFolder(const char* argv0) {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) self = std::filesystem::absolute(argv0, error);
  return self.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kelvor::cli::Run(args, ExecutableFolder(argc > 0 ? argv[0] : "kelvor-cli"), std::cout,
                          std::cerr);
}
