// Ctrl+C for dbfclean-cli. The handler only sets a flag: the run reads it
// between records, so the table is closed by the ordinary path with every
// repair so far on disk.
#include "interrupt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace dbfclean {

namespace {

// Written by the handler (on Windows from the console's own thread) and read
// by the scrub; a plain volatile bool is one byte, stored and loaded whole.
volatile bool gStop = false;

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (gStop) return FALSE;  // pressed again: the default handler ends the program
  gStop = true;
  return TRUE;
}
#else
struct sigaction gPrevious;

void OnInterrupt(int) { gStop = true; }
#endif

}  // namespace

InterruptHandler::InterruptHandler() {
  gStop = false;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // One press asks for a stop; the handler is then gone, so a second press
  // ends the program the usual way. A call the signal meets goes on (a
  // progress line half written to a terminal is not lost).
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, &gPrevious);
#endif
}

InterruptHandler::~InterruptHandler() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
  sigaction(SIGINT, &gPrevious, nullptr);
#endif
}

const volatile bool* InterruptHandler::Flag() { return &gStop; }

}  // namespace dbfclean
