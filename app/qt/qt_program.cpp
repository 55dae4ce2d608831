// The run's UI interface on Qt, the boxes, and the program's entry.
#include "qt_program.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>

#include "display.h"

namespace dbfclean {

namespace {

constexpr int kExitUsage = 64;  // a wrong call, as dbfclean-cli has it

const char* const kUsage =
    "Usage: dbfclean [DIRECTORY | TABLE]\n"
    "       dbfclean --version\n"
    "\n"
    "Opens the dialog \"Select Files to Clean Up\" on DIRECTORY, or on the\n"
    "directory of TABLE with that table selected; without an argument on the\n"
    "current directory. The tables selected there are repaired: every NUL byte\n"
    "inside a field becomes a blank, in place.\n"
    "\n"
    "  DIRECTORY      the directory to open\n"
    "  TABLE          a table (*.dbf) to open on and select\n"
    "  -h, --help     show this text\n"
    "      --version  show the version\n"
    "  --             what follows is the path, also when it begins with \"-\"\n";

// What keeps the dialog from opening on `path`, in words that name it; none
// when it is a directory that can be entered or a file in one.
std::optional<std::string> ArgumentProblem(kestrel::Platform& platform, const std::string& path) {
  const std::string here = platform.CurrentDirectory();
  const uint16_t asDirectory = platform.ChangeDirectory(path);
  if (asDirectory == 0) {
    platform.ChangeDirectory(here);
    return std::nullopt;
  }
  uint16_t parent = kestrel::oserr::PathNotFound;
  const std::string full = platform.FullPath(path);
  const size_t cut = full.rfind('/');
  if (cut != std::string::npos && cut + 1 < full.size()) {
    parent = platform.ChangeDirectory(full.substr(0, cut + 1));
    if (parent == 0) {
      platform.ChangeDirectory(here);
      std::unique_ptr<kestrel::DirSearch> search;
      kestrel::FoundFile found;
      const uint32_t anyFile =
          kestrel::attr::ReadOnly | kestrel::attr::Hidden | kestrel::attr::System | kestrel::attr::Archive;
      if (platform.FindFirst(full, anyFile, &search, &found) == 0) return std::nullopt;
    }
  }
  if (asDirectory == kestrel::oserr::AccessDenied || parent == kestrel::oserr::AccessDenied)
    return "cannot enter " + path + ": access denied";
  return "no such directory or file: " + path;
}

// The boxes wait for a click, so they show the arrow while the run's busy
// cursor is in force.
int ExecWithArrow(QMessageBox& box) {
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = box.exec();
  QGuiApplication::restoreOverrideCursor();
  return result;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeSummaryBox(const std::string& text, const std::string& caption) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, ShownText(caption), ShownText(text), QMessageBox::Ok);
  KeepCentred(box.get());
  return box;
}

std::unique_ptr<QMessageBox> MakeHaltBox(const std::string& text, const std::string& caption, QWidget* owner) {
  const std::string lines = kestrel::WithNewlines(text);
  auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, ShownText(caption), ShownText(lines), QMessageBox::Ok,
                                           owner);
  box->setTextFormat(Qt::PlainText);
  KeepCentred(box.get());
  return box;
}

void QtPlatform::ShowHaltBox(const std::string& text, const std::string& caption) {
  // The progress panel still names the table that halted; under a window
  // manager it could stand over the box's text and button, so it goes first.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* panel = dynamic_cast<TMsgPanel*>(window); panel && panel->isVisible()) panel->HideProgress();
  }
  auto box = MakeHaltBox(text, caption, QWidget::mouseGrabber());
  ExecWithArrow(*box);
}

QtRunUi::QtRunUi(kestrel::Platform& platform, TfrmSelectFiles::Options options)
    : MsgPanel_(std::make_unique<TMsgPanel>()),
      frmSelectFiles_(std::make_unique<TfrmSelectFiles>(platform, std::move(options))) {}

QtRunUi::~QtRunUi() = default;

DialogResult QtRunUi::ShowSelectionDialog() {
  frmSelectFiles_->exec();
  const BrowseResult& closed = frmSelectFiles_->Closed();
  if (!closed.ok()) throw kestrel::EInOutError(closed.code, closed.error);
  return frmSelectFiles_->Result();
}

void QtRunUi::TableBegun(const std::string&, const std::string& text) { MsgPanel_->ShowProgress(ShownText(text)); }

void QtRunUi::TablesDone() { MsgPanel_->HideProgress(); }

void QtRunUi::SetBusyCursor() {
  if (QGuiApplication::overrideCursor()) {
    QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
  } else {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
}

void QtRunUi::SetDefaultCursor() {
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

void QtRunUi::ProcessEvents() { QCoreApplication::processEvents(); }

void QtRunUi::Summary(const std::string& text, const std::string& caption) {
  auto box = MakeSummaryBox(text, caption);
  ExecWithArrow(*box);
}

void QtRunUi::FreeForms() {
  frmSelectFiles_.reset();
  MsgPanel_.reset();
}

void QtRunUi::Failed(const std::string& text) {
  if (MsgPanel_ && MsgPanel_->isVisible()) MsgPanel_->HideProgress();
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kAppTitle), ShownText(text), QMessageBox::Ok);
  KeepCentred(&box);
  ExecWithArrow(box);
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 256})
    icon.addFile(QStringLiteral(":/images/dbfclean-%1.png").arg(size), QSize(size, size));
  return icon;
}

TfrmSelectFiles::Options ArgumentOptions(int argc, char** argv) {
  TfrmSelectFiles::Options options;
  // The first argument as bytes: a path need not be valid in any encoding.
  const int first = argc > 1 && std::string(argv[1]) == "--" ? 2 : 1;
  if (argc > first) options.argument = argv[first];
  return options;
}

std::optional<int> ReadCommandLine(int argc, char** argv, const char* version, std::FILE* out, std::FILE* err) {
  std::string path;
  bool paths = false;  // after "--"
  int operands = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!paths && arg == "--") {
      paths = true;
    } else if (!paths && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, out);
      return 0;
    } else if (!paths && arg == "--version") {
      std::fprintf(out, "%s %s\n", kAppTitle, version);
      return 0;
    } else if (!paths && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(err, "dbfclean: unknown option '%s'\n\n%s", arg.c_str(), kUsage);
      return kExitUsage;
    } else if (++operands == 1) {
      path = arg;
    }
  }
  if (operands > 1) {
    std::fprintf(err, "dbfclean: one DIRECTORY or TABLE at most\n\n%s", kUsage);
    return kExitUsage;
  }
  if (operands == 1) {
    const std::optional<std::string> problem = path.empty() ? std::optional<std::string>("the path is empty")
                                                            : ArgumentProblem(kestrel::Platform::Default(), path);
    if (problem) {
      std::fprintf(err, "dbfclean: %s\n", problem->c_str());
      return kExitUsage;
    }
  }
  return std::nullopt;
}

int DesktopMain(int argc, char** argv) {
  TurnOffToolkitScaling();
  QApplication app(argc, argv);  // takes the toolkit's own options out of argv
  // The icon of every window (title bars, task switchers), and the desktop
  // entry that a Wayland compositor takes the icon and name from.
  QApplication::setWindowIcon(AppIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("dbfclean"));
  QtPlatform platform(kestrel::Platform::Default());
  kestrel::Engine engine(platform);
  QtRunUi ui(platform, ArgumentOptions(argc, argv));
  return RunProgram(engine, ui);
}

}  // namespace dbfclean
