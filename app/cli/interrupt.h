// Ctrl+C for dbfclean-cli: SIGINT on POSIX systems, the console's Ctrl+C and
// Ctrl+Break events on Windows. The first press asks the run to stop after
// the record being worked on; the second ends the program at once, as if no
// handler were there.
#pragma once

namespace dbfclean {

class InterruptHandler {
 public:
  // Installs the handler (with the flag cleared) until destroyed.
  InterruptHandler();
  ~InterruptHandler();
  InterruptHandler(const InterruptHandler&) = delete;
  InterruptHandler& operator=(const InterruptHandler&) = delete;

  // Set once Ctrl+C was pressed; read by the run after each record.
  static const volatile bool* Flag();
};

}  // namespace dbfclean
