// A GUI program has no console of its own, so `dbfclean.exe --version`
// writes its line to a redirected standard output (a file or a pipe, as a
// script has it) when there is one, else to the console of the program that
// started it (a Command Prompt, which does not wait for a GUI program: the
// line comes after the next prompt), else shows it in a box (started from
// Explorer or a shortcut).
#include "version_option.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "run.h"

#ifndef DBFCLEAN_VERSION
#define DBFCLEAN_VERSION "0"
#endif

namespace dbfclean::win32 {
namespace {

bool WriteAll(HANDLE out, const std::string& text) {
  DWORD written = 0;
  return WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

bool Usable(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }

}  // namespace

bool ShowVersionIfAsked(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return false;
  const std::string line = std::string(kAppTitle) + " " + DBFCLEAN_VERSION;

  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (Usable(out) && GetFileType(out) != FILE_TYPE_UNKNOWN && WriteAll(out, line + "\r\n")) return true;

  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    const bool written = Usable(console) && WriteAll(console, line + "\r\n");
    if (Usable(console)) CloseHandle(console);
    FreeConsole();
    if (written) return true;
  }

  MessageBoxA(nullptr, line.c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
  return true;
}

}  // namespace dbfclean::win32
