// The selection dialog's controls, drawing and wiring. The rules (which
// volumes are listed and how, the directory items with their indents, the
// file list's filter and order, the layout and its scaling) are the models'.
#include "seldir.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "file_list.h"

// The images live in this static library, whose resource registration the
// linker would drop unless something calls it.
static void RegisterImages() { Q_INIT_RESOURCE(images); }

namespace dbfclean {

namespace {

enum ItemRole { kIndentRole = Qt::UserRole, kBitmapRole, kPathRole };

QString Decoded(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
std::string Encoded(const QString& text) { return QFile::encodeName(text).toStdString(); }

// Fixed item heights for both lists; the directory list also draws each
// item's bitmap at its indent, with the text 4 pixels after it.
class ListItemDelegate : public QStyledItemDelegate {
 public:
  ListItemDelegate(int height, bool bitmaps, QObject* parent)
      : QStyledItemDelegate(parent), height_(height), bitmaps_(bitmaps) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(height_);
    return size;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!bitmaps_) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(opt.rect, selected ? opt.palette.highlight() : opt.palette.base());
    int x = opt.rect.left() + index.data(kIndentRole).toInt();
    const QPixmap bitmap = ResourceBitmap(index.data(kBitmapRole).toString());
    if (!bitmap.isNull()) {
      painter->drawPixmap(x, opt.rect.top() + (opt.rect.height() - bitmap.height()) / 2, bitmap);
      x += bitmap.width();
    }
    x += 4;
    painter->setFont(opt.font);
    painter->setPen(selected ? opt.palette.highlightedText().color() : opt.palette.text().color());
    painter->drawText(QRect(x, opt.rect.top(), opt.rect.right() - x, opt.rect.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, opt.text);
    painter->restore();
  }

 private:
  int height_;
  bool bitmaps_;
};

// A button glyph: the normal image in the left half, the greyed one in the right.
QIcon ButtonGlyph(const QString& name) {
  const QPixmap both = ResourceBitmap(name);
  QIcon icon;
  if (both.isNull()) return icon;
  const int side = both.height();
  icon.addPixmap(both.copy(0, 0, side, side), QIcon::Normal);
  icon.addPixmap(both.copy(side, 0, side, side), QIcon::Disabled);
  return icon;
}

std::vector<MountedVolume> MountedVolumes() {
  std::vector<MountedVolume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    volumes.push_back(MountedVolume{info.fileSystemType().toStdString(), Encoded(info.rootPath()),
                                    info.device().toStdString(), Encoded(info.name())});
  }
  return volumes;
}

std::vector<std::string> Subdirectories(const std::string& directory) {
  std::vector<std::string> names;
  // Hidden directories (a leading full stop) are left out, as the file
  // searches leave out hidden files.
  for (const QString& name : QDir(Decoded(directory)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    names.push_back(Encoded(name));
  }
  return names;
}

}  // namespace

QPixmap ResourceBitmap(const QString& name) {
  static std::map<QString, QPixmap> cache;
  static const bool registered = (RegisterImages(), true);
  (void)registered;
  auto found = cache.find(name);
  if (found != cache.end()) return found->second;
  QImage image(QStringLiteral(":/images/%1.bmp").arg(name));
  QPixmap pixmap;
  if (!image.isNull()) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        if (line[x] == transparent) line[x] = 0;
      }
    }
    pixmap = QPixmap::fromImage(image);
  }
  cache.emplace(name, pixmap);
  return pixmap;
}

TfrmSelectFiles::TfrmSelectFiles(kestrel::Platform& platform, Options options, QWidget* parent)
    : QDialog(parent), platform_(platform) {
  setObjectName(QStringLiteral("frmSelectFiles"));
  setWindowTitle(QString::fromLatin1(kDialogCaption));
  // A fixed border with a caption and no border icons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);

  // The layout is drawn for a 13-pixel text height at 96 pixels per inch:
  // the font follows the display's pixels per inch, the layout the font.
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::abs(DialogFontHeight(logicalDpiY())));
  setFont(font);
  textHeight_ = QFontMetrics(font).height();
  QPalette black = palette();
  black.setColor(QPalette::WindowText, Qt::black);
  black.setColor(QPalette::Text, Qt::black);
  setPalette(black);

  std::map<std::string, QWidget*> widgets;
  QPalette navy = black;
  navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
  auto label = [&](const char* name) {
    auto* l = new QLabel(QString::fromLatin1(FindControl(name)->text), this);
    l->setPalette(navy);
    l->setObjectName(QString::fromLatin1(name));
    widgets[name] = l;
    return l;
  };
  Label1 = label("Label1");
  Label2 = label("Label2");
  Label3 = label("Label3");
  Label4 = label("Label4");

  dirList = new QListWidget(this);
  dirList->setItemDelegate(new ListItemDelegate(ScaleToTextHeight(kDirItemHeight, textHeight_), true, dirList));
  dirList->installEventFilter(this);
  fileList = new QListWidget(this);
  fileList->setItemDelegate(new ListItemDelegate(ScaleToTextHeight(kFileItemHeight, textHeight_), false, fileList));
  fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  cmbDrive = new QComboBox(this);
  cmbDrive->setIconSize(QSize(16, kDriveBitmapHeight));
  eCurDir = new QLineEdit(this);
  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setDefault(true);
  btnOK->setIcon(ButtonGlyph(QStringLiteral("BBOK")));
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setIcon(ButtonGlyph(QStringLiteral("BBCANCEL")));
  for (QPushButton* button : {btnOK, btnCancel}) {
    button->setIconSize(QSize(18, 18));
    button->setAutoDefault(false);
  }
  btnOK->setDefault(true);
  widgets["dirList"] = dirList;
  widgets["fileList"] = fileList;
  widgets["cmbDrive"] = cmbDrive;
  widgets["eCurDir"] = eCurDir;
  widgets["btnOK"] = btnOK;
  widgets["btnCancel"] = btnCancel;

  for (const ControlPlace& control : DialogControls()) {
    QWidget* w = widgets.at(control.name);
    w->setObjectName(QString::fromLatin1(control.name));
    const Rect r = ScaleControl(control, textHeight_);
    // Labels size themselves to their text, as on Windows: the design's widths
    // fit "MS Sans Serif", and a wider font must not cut the text.
    const int width = control.cls == ControlClass::Label ? std::max(r.width, w->sizeHint().width()) : r.width;
    w->setGeometry(r.left, r.top, width, r.height);
  }
  setFixedSize(ScaleToTextHeight(kDialogClientWidth, textHeight_), ScaleToTextHeight(kDialogClientHeight, textHeight_));
  QWidget::setTabOrder(dirList, fileList);
  QWidget::setTabOrder(fileList, cmbDrive);
  QWidget::setTabOrder(cmbDrive, eCurDir);
  QWidget::setTabOrder(eCurDir, btnOK);
  QWidget::setTabOrder(btnOK, btnCancel);
  dirList->setFocus();

  connect(dirList, &QListWidget::itemDoubleClicked, this, &TfrmSelectFiles::OpenDirItem);
  connect(cmbDrive, &QComboBox::activated, this, &TfrmSelectFiles::DriveChosen);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  drives_ = LinuxDriveEntries(options.volumes ? *options.volumes : MountedVolumes());
  for (const DriveEntry& drive : drives_) {
    cmbDrive->addItem(QIcon(ResourceBitmap(QString::fromStdString(drive.bitmap))), Decoded(drive.text));
  }

  // The linked lists start on the process's current directory; the edit box
  // shows a directory only once the directory list reports a change.
  directory_ = platform_.CurrentDirectory();
  FillDirList(DirectoryItems(directory_, Subdirectories(directory_), PathStyle::Posix, false));
  ShowDriveOf(directory_);
  SetFileListDirectory(directory_);

  programDir_ = options.programDir.empty()
                    ? ProgramDirectory(Encoded(QCoreApplication::applicationFilePath()), PathStyle::Posix)
                    : options.programDir;
  FormCreate();
}

std::vector<FileEntry> TfrmSelectFiles::Entries() const {
  std::vector<FileEntry> entries;
  for (int i = 0; i < fileList->count(); ++i) {
    entries.push_back(FileEntry{Encoded(fileList->item(i)->text()), fileList->item(i)->isSelected()});
  }
  return entries;
}

void TfrmSelectFiles::FormCreate() {
  // Linux paths keep their case, so they compare case-sensitively.
  if (!SamePath(programDir_, directory_, true)) EnterOrReport(programDir_);
}

void TfrmSelectFiles::dirListChange() { eCurDir->setText(Decoded(directory_)); }

void TfrmSelectFiles::FormClose() {
  // Browsing moved the current directory; closing puts it back.
  const uint16_t rc = platform_.ChangeDirectory(programDir_);
  if (rc != 0) {
    closeError_.emplace(rc, "I/O error " + std::to_string(rc) + " returning to " + programDir_);
  }
}

void TfrmSelectFiles::done(int result) {
  QDialog::done(result);
  FormClose();
}

bool TfrmSelectFiles::eventFilter(QObject* watched, QEvent* event) {
  // Enter opens the directory list's item instead of pressing OK.
  if (watched == dirList && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OpenDirItem(dirList->currentItem());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmSelectFiles::SetDirectory(const std::string& path) {
  platform_.ChangeDirectory(directory_);  // back to where the list stands; a failure does not matter
  const uint16_t rc = platform_.ChangeDirectory(path);
  if (rc != 0) {
    throw kestrel::EInOutError(rc, "Cannot open the directory " + path + " (I/O error " + std::to_string(rc) + ")");
  }
  directory_ = platform_.CurrentDirectory();
  FillDirList(DirectoryItems(directory_, Subdirectories(directory_), PathStyle::Posix, false));
  ShowDriveOf(directory_);
  SetFileListDirectory(directory_);
  dirListChange();
}

bool TfrmSelectFiles::EnterOrReport(const std::string& path) {
  try {
    SetDirectory(path);
    return true;
  } catch (const kestrel::EInOutError& e) {
    QMessageBox::critical(this, QString::fromLatin1(kAppTitle), Decoded(e.what()));
    return false;
  }
}

void TfrmSelectFiles::SetFileListDirectory(const std::string& path) {
  if (!fileDir_.empty() && SamePath(path, fileDir_, true)) return;
  if (!fileDir_.empty()) platform_.ChangeDirectory(fileDir_);
  if (platform_.ChangeDirectory(path) != 0) return;
  fileDir_ = platform_.CurrentDirectory();
  std::vector<std::string> names;
  bool busy = false;
  ReadFileList(platform_, fileDir_, kTableMask, &names, [&busy] {
    if (busy) return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    busy = true;
  });
  fileList->clear();
  for (const std::string& name : names) fileList->addItem(Decoded(name));
  if (busy) QGuiApplication::restoreOverrideCursor();
}

void TfrmSelectFiles::FillDirList(const std::vector<DirItem>& items) {
  dirList->clear();
  for (const DirItem& dir : items) {
    auto* item = new QListWidgetItem(Decoded(dir.text), dirList);
    item->setData(kIndentRole, dir.indent);
    item->setData(kBitmapRole, QString::fromStdString(dir.bitmap));
    item->setData(kPathRole, QByteArray::fromStdString(dir.path));
  }
  dirList->setCurrentRow(CurrentItemIndex(items));
}

void TfrmSelectFiles::ShowDriveOf(const std::string& directory) {
  cmbDrive->setCurrentIndex(LinuxEntryFor(drives_, directory));
}

void TfrmSelectFiles::OpenDirItem(QListWidgetItem* item) {
  if (item) EnterOrReport(item->data(kPathRole).toByteArray().toStdString());
}

void TfrmSelectFiles::DriveChosen(int index) {
  if (index < 0 || index >= static_cast<int>(drives_.size())) return;
  // A volume that cannot be entered leaves the lists, and the box, where they were.
  if (!EnterOrReport(drives_[index].root)) ShowDriveOf(directory_);
}

}  // namespace dbfclean
