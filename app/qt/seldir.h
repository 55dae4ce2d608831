// The file selection dialog "Select Files to Clean Up" of the Linux desktop
// program: a directory list, a multiple-selection file list and a box of the
// mounted volumes, kept in step. What the lists hold comes from the models in
// app/core; this file only lays the controls out, draws and wires them.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <optional>
#include <string>
#include <vector>

#include "dialog_model.h"
#include "kestrel/engine.h"
#include "run.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace dbfclean {

// A bitmap of the program's images with the colour of its bottom-left pixel
// made transparent; a null pixmap for an unknown name.
QPixmap ResourceBitmap(const QString& name);

class TfrmSelectFiles : public QDialog {
  Q_OBJECT

 public:
  struct Options {
    std::string programDir;  // with its trailing "/"; empty: the executable's directory
    // The volumes the drive box offers; unset: the mounted ones.
    std::optional<std::vector<MountedVolume>> volumes;
  };

  explicit TfrmSelectFiles(kestrel::Platform& platform, Options options = {}, QWidget* parent = nullptr);

  // What the run reads after the dialog has closed.
  const std::string& Directory() const { return directory_; }
  std::vector<FileEntry> Entries() const;

  // The dialog font's text height on this display, which scales the layout.
  int TextHeight() const { return textHeight_; }

  // A failure to restore the program's directory on closing; the owner
  // raises it once the modal loop has ended.
  const std::optional<kestrel::EInOutError>& closeError() const { return closeError_; }

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void dirListChange();
  void FormClose();

  // Makes `path` the directory list's directory; throws EInOutError (and
  // leaves the lists alone) when it cannot be entered.
  void SetDirectory(const std::string& path);
  // SetDirectory, with a failure shown in a message box.
  bool EnterOrReport(const std::string& path);
  void SetFileListDirectory(const std::string& path);
  void FillDirList(const std::vector<DirItem>& items);
  void ShowDriveOf(const std::string& directory);
  void OpenDirItem(QListWidgetItem* item);
  void DriveChosen(int index);

  kestrel::Platform& platform_;
  std::string programDir_;
  std::string directory_;  // the directory list's directory
  std::string fileDir_;    // the file list's directory
  std::vector<DriveEntry> drives_;
  int textHeight_ = 13;
  std::optional<kestrel::EInOutError> closeError_;

  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QListWidget* dirList;
  QListWidget* fileList;
  QComboBox* cmbDrive;
  QLineEdit* eCurDir;
  QPushButton* btnOK;
  QPushButton* btnCancel;
};

}  // namespace dbfclean
