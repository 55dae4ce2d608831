// The Linux desktop program's side of the run: the Qt dialog and panel behind
// the run's UI interface, the busy cursor, the summary box, and a platform
// whose halting report is a critical message box.
#pragma once

#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "kestrel/platform.h"
#include "run.h"
#include "seldir.h"
#include "ushowmsg.h"

namespace dbfclean {

// The summary: no icon, one OK button, captioned `caption`.
std::unique_ptr<QMessageBox> MakeSummaryBox(const std::string& text, const std::string& caption);

// The halting report: the critical icon, one OK button, the report's lines.
std::unique_ptr<QMessageBox> MakeHaltBox(const std::string& text, const std::string& caption, QWidget* owner);

// The host platform, with the halting report shown in a box owned by the
// window holding the mouse grab. Ending the process keeps the host's rule.
class QtPlatform : public kestrel::PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  void ShowHaltBox(const std::string& text, const std::string& caption) override;
};

class QtRunUi : public RunUi {
 public:
  // The panel is created first, then the dialog.
  explicit QtRunUi(kestrel::Platform& platform, TfrmSelectFiles::Options options = {});
  ~QtRunUi() override;

  DialogResult ShowSelectionDialog() override;
  void SetBusyCursor() override;
  void SetDefaultCursor() override;
  void ProcessEvents() override;
  void FreeForms() override;
  // What it shows of the run: the panel while tables are cleaned, the
  // summary box, the box of a failure.
  void TableBegun(const std::string& table, const std::string& text) override;
  void TablesDone() override;
  void Summary(const std::string& text, const std::string& caption) override;
  void Failed(const std::string& text) override;

  TfrmSelectFiles* frmSelectFiles() const { return frmSelectFiles_.get(); }
  TMsgPanel* MsgPanel() const { return MsgPanel_.get(); }

 private:
  std::unique_ptr<TMsgPanel> MsgPanel_;
  std::unique_ptr<TfrmSelectFiles> frmSelectFiles_;
};

// The program's icon at 16, 32, 48 and 256 pixels.
QIcon AppIcon();

// The dialog's options for the program's command line: its one optional
// argument, a directory or a table's path, is where the dialog opens.
TfrmSelectFiles::Options ArgumentOptions(int argc, char** argv);

// The program's own options, read before any window: --help prints the
// usage on `out`, --version the version; an unknown option prints a line and
// the usage on `err` (64); so does an argument that names no directory or
// file that can be entered, in words that name it. Otherwise nothing is
// printed and the dialog is to open: no status.
std::optional<int> ReadCommandLine(int argc, char** argv, const char* version, std::FILE* out, std::FILE* err);

// The program: the engine on the Qt platform, the run, its exit status.
int DesktopMain(int argc, char** argv);

}  // namespace dbfclean
