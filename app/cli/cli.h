// dbfclean-cli: the clean-up run without windows.
#pragma once

namespace dbfclean {

// Exit status of a call whose words are wrong (EX_USAGE).
constexpr int kExitUsage = 64;

int CliMain(int argc, char** argv);

}  // namespace dbfclean
