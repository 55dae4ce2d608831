// dbfclean-cli: the clean-up run without windows.
#pragma once

#include "kestrel/platform.h"

namespace dbfclean {

// Exit status of a call whose words are wrong (EX_USAGE).
constexpr int kExitUsage = 64;

int CliMain(int argc, char** argv);
// The same on `host`'s files (a test passes one that injects failures).
int CliMain(int argc, char** argv, kestrel::Platform& host);

}  // namespace dbfclean
