// dbfclean-cli's command line: its options and operands, and the help text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report.h"

namespace dbfclean {

struct Settings {
  bool dryRun = false;
  bool quiet = false;
  bool list = false;
  bool check = false;
  bool backup = false;
  bool recursive = false;
  bool keepGoing = false;
  bool fixCount = false;
  std::string backupDir;
  std::vector<std::string> operands;
};

// The options and operands into `settings`; a status to end with when the
// call is wrong (kExitUsage, its complaint told to `reporter`) or asked only
// for help or the version.
std::optional<int> ReadArguments(int argc, char** argv, Settings* settings, Reporter& reporter);

}  // namespace dbfclean
