// dbfclean.exe: the clean-up run with the Win32 selection dialog, progress
// panel and message boxes. The engine starts before any window exists and its
// exit procedure runs when the program ends.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "display.h"
#include "kestrel/engine.h"
#include "msg_panel.h"
#include "run.h"
#include "select_files.h"
#include "version_option.h"

namespace dbfclean::win32 {
namespace {

// The halting box comes while the progress panel still names the table that
// halted; under a window manager the panel could stand over the box's text
// and button, so it goes first.
class Win32Platform : public kestrel::PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  std::function<void()> beforeHalt;
  void ShowHaltBox(const std::string& text, const std::string& caption) override {
    if (beforeHalt) beforeHalt();
    PlatformWrapper::ShowHaltBox(text, caption);
  }
};

class Win32Ui : public RunUi {
 public:
  Win32Ui(HINSTANCE instance, kestrel::Platform& platform, const std::string& argument)
      : panel_(std::make_unique<TMsgPanel>(instance)),
        dialog_(std::make_unique<TfrmSelectFiles>(instance, platform, argument)) {}

  DialogResult ShowSelectionDialog() override { return dialog_->ShowModal(); }
  void SetBusyCursor() override { SetBusy(true); }
  void SetDefaultCursor() override { SetBusy(false); }
  void ProcessEvents() override { ProcessPendingEvents(); }
  void TableBegun(const std::string&, const std::string& text) override { panel_->ShowProgress(text); }
  void TablesDone() override { panel_->HideProgress(); }
  void Summary(const std::string& text, const std::string& caption) override {
    // No owner: the box is centred on the screen.
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
  }
  void FreeForms() override {
    dialog_.reset();
    panel_.reset();
  }
  void Failed(const std::string& text) override {
    HidePanel();
    MessageBoxA(nullptr, FitBoxText(text).c_str(), kAppTitle, MB_OK | MB_ICONSTOP);
  }
  void HidePanel() {
    if (panel_) panel_->HideProgress();
  }

 private:
  std::unique_ptr<TMsgPanel> panel_;
  std::unique_ptr<TfrmSelectFiles> dialog_;
};

}  // namespace
}  // namespace dbfclean::win32

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (dbfclean::win32::ShowVersionIfAsked(__argc, __argv)) return 0;
  // Held while the program runs, so that the installer and the uninstaller
  // can refuse to replace or remove it under a run (the system frees it
  // with the process).
  CreateMutexA(nullptr, FALSE, "dbfclean.exe is running");
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  dbfclean::win32::Win32Platform platform(kestrel::Platform::Default());
  kestrel::Engine engine(platform);
  // A folder or a table dropped onto the program (or sent to it) is where
  // the dialog opens.
  dbfclean::win32::Win32Ui ui(instance, engine.platform(), __argc > 1 ? __argv[1] : "");
  platform.beforeHalt = [&ui] { ui.HidePanel(); };
  return dbfclean::RunProgram(engine, ui);
}
