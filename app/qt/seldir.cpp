// The selection dialog's controls, drawing and wiring. What the lists hold,
// and every change of directory, is the browsing model's; the layout and its
// scaling are the dialog model's.
#include "seldir.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <algorithm>
#include <map>

#include "display.h"

// The images live in this static library, whose resource registration the
// linker would drop unless something calls it.
static void RegisterImages() { Q_INIT_RESOURCE(images); }

namespace dbfclean {

namespace {

enum ItemRole { kIndentRole = Qt::UserRole, kBitmapRole };

// The file list answers its movement keys as the system's list boxes do:
// Home, End, the arrows and the page keys select as they move, also when the
// current item stays where it is (Home on the first item, End on the last).
// Its clicks follow the one rule of the browsing model: a plain or Ctrl click
// is the toolkit's own (it selects or turns over the item, which becomes the
// anchor), a Shift click the model's range from that anchor.
class FileListBox : public QListWidget {
 public:
  using QListWidget::QListWidget;

  // The item a Shift range starts from; -1 for none (a new list).
  void SetAnchor(int row) { anchor_ = row; }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    const QModelIndex at = indexAt(event->position().toPoint());
    rangeClick_ = event->button() == Qt::LeftButton && at.isValid() && (event->modifiers() & Qt::ShiftModifier);
    if (!rangeClick_) {
      QListWidget::mousePressEvent(event);
      if (event->button() == Qt::LeftButton && at.isValid()) anchor_ = at.row();
      return;
    }
    ListSelection selection;
    for (int i = 0; i < count(); ++i) selection.selected.push_back(item(i)->isSelected());
    selection.anchor = anchor_;
    ClickItem(&selection, at.row(), (event->modifiers() & Qt::ControlModifier) != 0, true);
    anchor_ = selection.anchor;
    QItemSelection chosen;
    for (int i = 0; i < count(); ++i) {
      if (selection.selected[i]) chosen.select(model()->index(i, 0), model()->index(i, 0));
    }
    selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    setFocus(Qt::MouseFocusReason);
    event->accept();
  }
  // The toolkit saw no press of a range click: its drag and release must not
  // select again from a press it does not know.
  void mouseMoveEvent(QMouseEvent* event) override {
    if (rangeClick_ && (event->buttons() & Qt::LeftButton)) return;
    QListWidget::mouseMoveEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (rangeClick_ && event->button() == Qt::LeftButton) {
      rangeClick_ = false;
      return;
    }
    QListWidget::mouseReleaseEvent(event);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (event->modifiers() & Qt::ShiftModifier) {
      mousePressEvent(event);
      return;
    }
    QListWidget::mouseDoubleClickEvent(event);
  }

  void keyPressEvent(QKeyEvent* event) override {
    const QModelIndex before = currentIndex();
    QListWidget::keyPressEvent(event);
    // A move without Shift puts the anchor where the caret lands, as a click does.
    if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) && currentIndex().isValid() &&
        currentIndex() != before)
      anchor_ = currentIndex().row();
    const int key = event->key();
    const bool moves = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Home || key == Qt::Key_End ||
                       key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    // With Ctrl the caret moves without selecting, as there.
    if (!moves || (event->modifiers() & Qt::ControlModifier) || !before.isValid() || currentIndex() != before) return;
    if (event->modifiers() & Qt::ShiftModifier) {
      // The range from the anchor to the caret holds the caret.
      selectionModel()->select(before, QItemSelectionModel::Select);
    } else {
      // The item alone, and the anchor of a following Shift range, as a move sets them.
      setCurrentIndex(before);
      anchor_ = before.row();
    }
  }

 private:
  int anchor_ = -1;
  bool rangeClick_ = false;
};

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
    : QDialog(parent),
      volumes_(std::move(options.volumes)),
      browser_(platform, volumes_,
               {.style = kestrel::PathStyle::Posix,
                .programDir =
                    options.programDir.empty()
                        ? ProgramDirectory(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString(),
                                           kestrel::PathStyle::Posix)
                        : options.programDir,
                .argument = options.argument,
                .busy = [](bool on) {
                  if (on) {
                    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                  } else {
                    QGuiApplication::restoreOverrideCursor();
                  }
                }}) {
  setObjectName(QStringLiteral("frmSelectFiles"));
  setWindowTitle(QString::fromLatin1(kDialogCaption));
  // A fixed border with a caption and no border icons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
  KeepCentred(this);

  // The layout is drawn for a 13-pixel text height at 96 pixels per inch:
  // the font follows the display's pixels per inch, the layout the font.
  const int ppi = ScreenPpi();
  setFont(DialogFont(ppi));
  textHeight_ = DialogTextHeight(ppi);
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
  fileList = new FileListBox(this);
  fileList->setItemDelegate(new ListItemDelegate(ScaleToTextHeight(kFileItemHeight, textHeight_), false, fileList));
  fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  cmbDrive = new QComboBox(this);
  cmbDrive->setIconSize(QSize(16, kDriveBitmapHeight));
  eCurDir = new QLineEdit(this);
  // It names the directory the lists show; a path typed into it would go
  // nowhere, so it takes none (it can still be selected and copied).
  eCurDir->setReadOnly(true);
  btnOK = new QPushButton(QStringLiteral("&OK"), this);
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
    // A label is as wide as its text, never narrower than designed: the
    // design's widths fit "MS Sans Serif", and another font must not cut it.
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

  connect(dirList, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { Show(browser_.OpenItem(dirList->row(item))); });
  connect(cmbDrive, &QComboBox::activated, this, [this](int index) { Show(browser_.ChooseDrive(index)); });
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  const BrowseResult created = browser_.FormCreate();
  Show(created);
  if (created.preselected >= 0) {
    fileList->setCurrentRow(created.preselected, QItemSelectionModel::ClearAndSelect);
    static_cast<FileListBox*>(fileList)->SetAnchor(created.preselected);
    // Opened on a table: Enter presses OK and cleans it.
    fileList->setFocus();
  }
}

DialogResult TfrmSelectFiles::Result() const {
  std::vector<bool> selected;
  for (int i = 0; i < fileList->count(); ++i) selected.push_back(fileList->item(i)->isSelected());
  return browser_.Result(result() == QDialog::Accepted, selected);
}

void TfrmSelectFiles::done(int result) {
  QDialog::done(result);
  // Browsing moved the current directory; closing puts it back.
  closed_ = browser_.FormClose();
}

bool TfrmSelectFiles::eventFilter(QObject* watched, QEvent* event) {
  // Enter opens the directory list's item instead of pressing OK.
  if (watched == dirList && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Show(browser_.OpenItem(dirList->currentRow()));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmSelectFiles::Show(const BrowseResult& result) {
  if (result.changed & changed::Drives) {
    cmbDrive->clear();
    for (const DriveEntry& drive : browser_.Drives()) {
      cmbDrive->addItem(QIcon(ResourceBitmap(QString::fromStdString(drive.bitmap))), ShownText(drive.text));
    }
  }
  if (result.changed & (changed::Drives | changed::Drive)) cmbDrive->setCurrentIndex(browser_.DriveIndex());
  if (result.changed & changed::Directories) FillDirList();
  if (result.changed & changed::Files) FillFileList();
  if (result.changed & changed::EditText) dirListChange();
  if (!result.ok()) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kAppTitle), ShownText(result.error), QMessageBox::Ok,
                    this);
    KeepCentred(&box);
    box.exec();
  }
  if (!result.notice.empty()) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kAppTitle), ShownText(result.notice), QMessageBox::Ok,
                    this);
    KeepCentred(&box);
    box.exec();
  }
}

void TfrmSelectFiles::dirListChange() { eCurDir->setText(ShownText(browser_.EditText())); }

void TfrmSelectFiles::FillFileList() {
  fileList->clear();
  static_cast<FileListBox*>(fileList)->SetAnchor(-1);
  for (const std::string& name : browser_.Files()) fileList->addItem(ShownText(name));
}

void TfrmSelectFiles::FillDirList() {
  dirList->clear();
  for (const DirItem& dir : browser_.Items()) {
    auto* item = new QListWidgetItem(ShownText(dir.text), dirList);
    item->setData(kIndentRole, dir.indent);
    item->setData(kBitmapRole, QString::fromStdString(dir.bitmap));
  }
  dirList->setCurrentRow(CurrentItemIndex(browser_.Items()));
}

}  // namespace dbfclean
