#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "ReportOptions.h"

// The whole program: arguments without the program name; the summary goes to `out`, messages
// about unusable input and usage to `err`. Returns the exit code.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              FileSystem& files);
