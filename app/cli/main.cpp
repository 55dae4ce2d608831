// Entry point of dbfclean-cli.
#include "cli.h"

int main(int argc, char** argv) { return dbfclean::CliMain(argc, argv); }
