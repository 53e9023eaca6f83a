#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kelvor::cli {

// Runs one command line (without the program name). Exit status 0 on
// success, 1 with one line on `err` otherwise.
int Run(const std::vector<std::string>& args, const std::string& exeFolder, std::ostream& out,
        std::ostream& err);

}  // namespace kelvor::cli
