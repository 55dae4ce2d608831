// Entry point of the Linux desktop program dbfclean. --version is answered
// before Qt starts, so that it works without a display.
#include <cstdio>
#include <cstring>

#include "qt_program.h"

#ifndef DBFCLEAN_VERSION
#define DBFCLEAN_VERSION "0"
#endif

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s\n", dbfclean::kAppTitle, DBFCLEAN_VERSION);
    return 0;
  }
  return dbfclean::DesktopMain(argc, argv);
}
