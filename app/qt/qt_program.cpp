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

void QtRunUi::ShowProgress(const std::string& text) { MsgPanel_->ShowProgress(ShownText(text)); }

void QtRunUi::HideProgress() { MsgPanel_->HideProgress(); }

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

void QtRunUi::ShowSummary(const std::string& text, const std::string& caption) {
  auto box = MakeSummaryBox(text, caption);
  ExecWithArrow(*box);
}

void QtRunUi::FreeForms() {
  frmSelectFiles_.reset();
  MsgPanel_.reset();
}

void QtRunUi::ShowFatalError(const std::string& text) {
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
  if (argc > 1) options.argument = argv[1];
  return options;
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
