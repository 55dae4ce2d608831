// `dbfclean.exe --version`: the one option of the desktop program besides
// its directory argument.
#pragma once

namespace dbfclean::win32 {

// When the arguments are exactly --version, shows "dbfclean VERSION" and
// returns true: the program then ends with exit code 0.
bool ShowVersionIfAsked(int argc, char** argv);

}  // namespace dbfclean::win32
