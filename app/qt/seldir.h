// The file selection dialog "Select Files to Clean Up" of the Linux desktop
// program, a view of the browsing model: it lays out and draws the drive box
// of the mounted volumes, the directory list, the file list and the edit
// box, forwards the user's acts, and shows a failure in a box.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <optional>
#include <string>
#include <vector>

#include "file_browser.h"
#include "kestrel/engine.h"
#include "run.h"
#include "volumes.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
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
    // The program's argument: a directory, or a table's path; empty: none.
    std::string argument;
  };

  explicit TfrmSelectFiles(kestrel::Platform& platform, Options options = {}, QWidget* parent = nullptr);

  // What the run reads after the dialog has closed.
  DialogResult Result() const;
  const std::string& Directory() const { return browser_.Directory(); }
  std::vector<FileEntry> Entries() const { return Result().entries; }

  // The dialog font's text height on this display, which scales the layout.
  int TextHeight() const { return textHeight_; }

  // Closing puts the program's directory back; its failure, which the owner
  // raises once the modal loop has ended.
  const BrowseResult& Closed() const { return closed_; }

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Draws what `result` changed and shows its failure in a box.
  void Show(const BrowseResult& result);
  void FillDirList();
  void FillFileList();
  void dirListChange();

  QtVolumes volumes_;
  FileBrowser browser_;
  int textHeight_ = kDesignTextHeight;
  BrowseResult closed_;

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
