// Entry point of the Linux desktop program dbfclean.
#include "qt_program.h"

int main(int argc, char** argv) { return dbfclean::DesktopMain(argc, argv); }
