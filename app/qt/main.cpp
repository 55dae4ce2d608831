// Entry point of the Linux desktop program dbfclean. The command line is
// read before Qt starts, so that --help, --version and a wrong call are
// answered without a display and without a window.
#include <cstdio>

#include "qt_program.h"

#ifndef DBFCLEAN_VERSION
#define DBFCLEAN_VERSION "0"
#endif

int main(int argc, char** argv) {
  if (const std::optional<int> status = dbfclean::ReadCommandLine(argc, argv, DBFCLEAN_VERSION, stdout, stderr))
    return *status;
  return dbfclean::DesktopMain(argc, argv);
}
