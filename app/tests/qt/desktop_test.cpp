// Tests of the Linux desktop program on Qt's offscreen platform: the dialog's
// layout and keyboard, how it draws the browsing model for a prepared
// directory tree and forwards browsing, selection and closing, its failure
// box, its start on the program's argument; a whole run through the real run
// with the real dialog and boxes driven from a timer; the halting box and
// exit status, and the scaling on a 144-ppi display, in child processes.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <tuple>

#include "../run_process.h"
#include "display.h"
#include "qt_program.h"
#include "testkit.h"

using namespace dbfclean;

namespace {

// Runs `fn` on the next modal window of type T once it shows, from the
// event loop that shows it.
template <typename T>
void OnModal(std::function<void(T*)> fn) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, fn] {
    T* w = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!w || !w->isVisible()) {
      if (++*tries > 1000) timer->deleteLater();  // ten seconds: the test fails on what it finds
      return;
    }
    timer->stop();
    timer->deleteLater();
    fn(w);
  });
  timer->start(10);
}

template <typename T = QWidget>
T* Child(QWidget* dialog, const char* name) {
  return dialog->findChild<T*>(QString::fromLatin1(name));
}

QStringList Texts(QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

void ClickItem(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers = {}, bool twice = false) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  QVERIFY2(found.size() == 1, qPrintable(text));
  const QPoint at = list->visualItemRect(found[0]).center();
  if (twice) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, modifiers, at);
  } else {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
  }
}

std::string Selection(const TfrmSelectFiles& dialog) {
  std::string flags;
  for (const FileEntry& e : dialog.Entries()) flags += e.selected ? '1' : '0';
  return flags;
}

// CUSTOMER.DBF: 6 NUL bytes in two of its three records.
std::string CustomerTable(char nul) {
  testkit::DbfLayout layout{.fields = {{"NAME", 'C', 8}, {"CODE", 'C', 4}}};
  const std::string z(1, nul);
  layout.records = {testkit::Record(layout, {"AB" + z + z + "CD", "X" + z + "Y"}),
                    testkit::Record(layout, {"clean", "ok"}), testkit::Record(layout, {z, z + z})};
  return testkit::BuildDbf(layout);
}

std::string OrdersTable(char nul) {
  testkit::DbfLayout layout{.fields = {{"ITEM", 'C', 6}}};
  layout.records = {testkit::Record(layout, {std::string("nut") + nul})};
  return testkit::BuildDbf(layout);
}

std::string Canonical(const testkit::TempDir& dir) {
  return QDir(QString::fromStdString(dir.path())).canonicalPath().toStdString();
}

// The prepared tree: three tables, a hidden one, another file, an index
// file; two subdirectories (one with a table) and a hidden one. The program
// is started in it and lies elsewhere.
struct Tree {
  testkit::TempDir tmp;
  testkit::TempDir bin;
  std::string root = Canonical(tmp);
  std::string program = Canonical(bin);
  Tree() {
    tmp.Write("CUSTOMER.DBF", CustomerTable('\0'));
    tmp.Write("orders.dbf", OrdersTable('\0'));
    tmp.Write("parts.dbf", OrdersTable(' '));
    tmp.Write(".secret.dbf", OrdersTable('\0'));
    tmp.Write("notes.txt", "x");
    tmp.Write("cust.ndx", "index");
    for (const char* dir : {"b_sub", "A_sub", ".hidden"}) QDir(QString::fromStdString(root)).mkdir(dir);
    testkit::WriteFile(root + "/A_sub/inner.dbf", OrdersTable(' '));
    kestrel::Platform::Default().ChangeDirectory(root);
  }
  TfrmSelectFiles::Options Options() const { return {.programDir = program + "/"}; }
};

// How far a shown window's frame stands from the middle of the screen.
std::string FromTheMiddle(QWidget& window) {
  if (!QTest::qWaitForWindowExposed(&window)) return "not shown";
  const QRect frame = window.frameGeometry();
  const QSize screen = window.screen()->geometry().size();
  return std::to_string(frame.x() - (screen.width() - frame.width()) / 2) + "," +
         std::to_string(frame.y() - (screen.height() - frame.height()) / 2);
}

std::string CurrentDirectory() { return kestrel::Platform::Default().CurrentDirectory(); }

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndTabOrder() {
    Tree tree;
    TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
    // The offscreen platform's 96 pixels per inch give an 11-pixel font
    // 13 pixels high: the layout is the design's.
    QCOMPARE(dialog.TextHeight(), 13);
    QCOMPARE(dialog.windowTitle(), QString("Select Files to Clean Up"));
    QCOMPARE(dialog.size(), QSize(360, 266));
    for (const ControlPlace& control : DialogControls()) {
      QWidget* w = Child(&dialog, control.name);
      QVERIFY2(w, control.name);
      if (auto* label = qobject_cast<QLabel*>(w)) {
        // A label is as wide as its text needs, and never narrower than designed.
        QCOMPARE(label->text(), QString(control.text));
        QCOMPARE(label->geometry().adjusted(0, 0, control.width - label->width(), 0),
                 QRect(control.left, control.top, control.width, control.height));
        QVERIFY(label->width() >= std::max(control.width, label->fontMetrics().horizontalAdvance(label->text())));
        continue;
      }
      QCOMPARE(w->geometry(), QRect(control.left, control.top, control.width, control.height));
      if (auto* button = qobject_cast<QPushButton*>(w)) QCOMPARE(button->text(), QString(control.text));
    }
    QVERIFY(Child<QPushButton>(&dialog, "btnOK")->isDefault());
    QVERIFY(!Child<QPushButton>(&dialog, "btnOK")->icon().isNull());

    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("dirList"));
    QStringList order;
    for (int i = 0; i < 6; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"fileList", "cmbDrive", "eCurDir", "btnOK", "btnCancel", "dirList"}));
  }

  void listsOfPreparedTree() {
    Tree tree;
    TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
    auto* dirList = Child<QListWidget>(&dialog, "dirList");
    QStringList expected{"/"};
    expected += QString::fromStdString(tree.root).split('/', Qt::SkipEmptyParts);
    const int current = static_cast<int>(expected.size()) - 1;
    expected += QStringList{"A_sub", "b_sub"};
    QCOMPARE(Texts(dirList), expected);
    QCOMPARE(dirList->currentRow(), current);
    QVERIFY(dirList->item(current)->isSelected());
    QCOMPARE(Texts(Child<QListWidget>(&dialog, "fileList")), QStringList({"CUSTOMER.DBF", "orders.dbf", "parts.dbf"}));
    QCOMPARE(Child<QLineEdit>(&dialog, "eCurDir")->text(), QString::fromStdString(tree.root));
    // The drive box shows the mounted volume that holds the directory.
    QVERIFY(Child<QComboBox>(&dialog, "cmbDrive")->currentIndex() >= 0);
  }

  void browsesByDoubleClickAndEnter() {
    Tree tree;
    TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
    dialog.show();
    auto* dirList = Child<QListWidget>(&dialog, "dirList");
    ClickItem(dirList, "A_sub", {}, true);
    QCOMPARE(Child<QLineEdit>(&dialog, "eCurDir")->text(), QString::fromStdString(tree.root + "/A_sub"));
    QCOMPARE(dirList->currentItem()->text(), QString("A_sub"));
    QCOMPARE(Texts(Child<QListWidget>(&dialog, "fileList")), QStringList({"inner.dbf"}));

    // Enter on the parent's item goes back up and leaves the dialog open.
    dirList->setFocus();
    dirList->setCurrentRow(dirList->currentRow() - 1);
    QTest::keyClick(dirList, Qt::Key_Return);
    QCOMPARE(dialog.Directory(), tree.root);
    QCOMPARE(Texts(Child<QListWidget>(&dialog, "fileList")), QStringList({"CUSTOMER.DBF", "orders.dbf", "parts.dbf"}));
    QVERIFY(dialog.isVisible());
  }

  void selectsByMouseAndKeys() {
    Tree tree;
    TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* files = Child<QListWidget>(&dialog, "fileList");
    QCOMPARE(Selection(dialog), std::string("000"));
    ClickItem(files, "CUSTOMER.DBF");
    QCOMPARE(Selection(dialog), std::string("100"));
    ClickItem(files, "parts.dbf", Qt::ControlModifier);
    QCOMPARE(Selection(dialog), std::string("101"));
    ClickItem(files, "CUSTOMER.DBF", Qt::ControlModifier);
    QCOMPARE(Selection(dialog), std::string("001"));
    ClickItem(files, "orders.dbf");
    ClickItem(files, "CUSTOMER.DBF", Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("110"));
    // Shift measures from the last plain or Ctrl click and drops the rest;
    // Ctrl+Shift adds the range to what is selected.
    ClickItem(files, "CUSTOMER.DBF");
    ClickItem(files, "parts.dbf", Qt::ControlModifier);
    ClickItem(files, "orders.dbf", Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("011"));
    ClickItem(files, "CUSTOMER.DBF", Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("111"));
    ClickItem(files, "CUSTOMER.DBF");
    ClickItem(files, "parts.dbf", Qt::ControlModifier);
    ClickItem(files, "parts.dbf", Qt::ControlModifier);
    ClickItem(files, "orders.dbf", Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("111"));
    ClickItem(files, "orders.dbf", Qt::ControlModifier);
    ClickItem(files, "CUSTOMER.DBF", Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("111"));
    ClickItem(files, "orders.dbf");
    ClickItem(files, "CUSTOMER.DBF", Qt::ControlModifier);
    ClickItem(files, "parts.dbf", Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("111"));
    ClickItem(files, "parts.dbf");
    ClickItem(files, "CUSTOMER.DBF", Qt::ControlModifier);
    ClickItem(files, "orders.dbf", Qt::ShiftModifier);
    QCOMPARE(Selection(dialog), std::string("110"));

    // The movement keys select as they move, also where the caret cannot
    // move: the first item is current when the list gets the focus. With
    // one table, Tab, Home and Shift+End select it.
    files->clearSelection();
    files->setCurrentItem(nullptr);
    auto* dirList = Child<QListWidget>(&dialog, "dirList");
    const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    using Keys = std::vector<std::tuple<Qt::Key, Qt::KeyboardModifiers, std::string>>;
    auto press = [&](const Keys& keys) {
      dirList->setFocus();
      for (const auto& [key, modifiers, selection] : keys) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QVERIFY2(Selection(dialog) == selection, (Selection(dialog) + " after key " + std::to_string(key)).c_str());
      }
    };
    press({{Qt::Key_Tab, none, "000"},
           {Qt::Key_Home, none, "100"},
           {Qt::Key_End, shift, "111"},
           {Qt::Key_End, none, "001"},
           {Qt::Key_End, none, "001"},
           {Qt::Key_Home, shift, "111"},
           {Qt::Key_Up, none, "100"},
           {Qt::Key_Down, ctrl, "100"}});
    ClickItem(dirList, "A_sub", {}, true);
    press({{Qt::Key_Tab, none, "0"}, {Qt::Key_Home, none, "1"}, {Qt::Key_End, shift, "1"}});
  }

  void closesWithOkCancelAndEsc() {
    struct Case {
      const char* how;
      int result;
    };
    for (const Case& c : {Case{"btnOK", QDialog::Accepted}, Case{"btnCancel", QDialog::Rejected},
                          Case{"Esc", QDialog::Rejected}, Case{"Enter", QDialog::Accepted}}) {
      Tree tree;
      TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
      ClickItem(Child<QListWidget>(&dialog, "dirList"), "b_sub", {}, true);
      QCOMPARE(CurrentDirectory(), tree.root + "/b_sub");
      OnModal<TfrmSelectFiles>([&c](TfrmSelectFiles* d) {
        if (std::string(c.how) == "Esc") {
          QTest::keyClick(Child(d, "fileList"), Qt::Key_Escape);
        } else if (std::string(c.how) == "Enter") {
          QTest::keyClick(Child(d, "fileList"), Qt::Key_Return);
        } else {
          QTest::mouseClick(Child(d, c.how), Qt::LeftButton);
        }
      });
      QCOMPARE(dialog.exec(), c.result);
      QCOMPARE(dialog.Directory(), tree.root + "/b_sub");
      QCOMPARE(dialog.Result().ok, c.result == QDialog::Accepted);
      QCOMPARE(CurrentDirectory(), tree.program);  // the program's directory, on closing
    }
  }

  void volumeThatCannotBeEnteredIsReported() {
    Tree tree;
    TfrmSelectFiles::Options options = tree.Options();
    options.volumes = {{"ext4", "/", "/dev/sda1", ""},
                       {"tmpfs", tree.root + "/A_sub", "tmpfs", ""},
                       {"ext4", tree.root + "/gone", "/dev/sdb1", "usb"}};
    TfrmSelectFiles dialog(kestrel::Platform::Default(), options);
    dialog.show();
    auto* drives = Child<QComboBox>(&dialog, "cmbDrive");
    QCOMPARE(drives->itemText(1), QString::fromStdString(tree.root + "/A_sub []"));
    QCOMPARE(drives->currentIndex(), 0);
    drives->setFocus();
    QTest::keyClick(drives, Qt::Key_Down);
    QCOMPARE(dialog.Directory(), tree.root + "/A_sub");

    QString caption, text;
    OnModal<QMessageBox>([&](QMessageBox* box) {
      caption = box->windowTitle();
      text = box->text();
      box->accept();
    });
    QTest::keyClick(drives, Qt::Key_Down);
    QCOMPARE(caption, QString("dbfclean"));
    // The same words as on Windows.
    QCOMPARE(text, QString::fromStdString("I/O error 3 entering " + tree.root + "/gone"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Directory(), tree.root + "/A_sub");
    QCOMPARE(drives->currentIndex(), 1);
    QCOMPARE(Texts(Child<QListWidget>(&dialog, "fileList")), QStringList({"inner.dbf"}));

    // The open list enters nothing while the highlight passes, not even the
    // volume that cannot be entered; Enter enters the one chosen.
    drives->showPopup();
    QTest::keyClick(drives->view(), Qt::Key_Down);
    QTest::qWait(50);
    QVERIFY(!QApplication::activeModalWidget() || !qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
    QCOMPARE(dialog.Directory(), tree.root + "/A_sub");
    QTest::keyClick(drives->view(), Qt::Key_Up);
    QTest::keyClick(drives->view(), Qt::Key_Up);
    QCOMPARE(dialog.Directory(), tree.root + "/A_sub");
    QTest::keyClick(drives->view(), Qt::Key_Return);
    QCOMPARE(dialog.Directory(), std::string("/"));
    QCOMPARE(drives->currentIndex(), 0);
    kestrel::Platform::Default().ChangeDirectory(tree.root);
  }

  void opensOnTheArgument() {
    Tree tree;
    tree.tmp.Write("caf\xE9.dbf", OrdersTable('\0'));  // a name that is no UTF-8
    for (const std::string& argument : {tree.root + "/A_sub", tree.root + "/caf\xE9.dbf"}) {
      std::string arguments[] = {"dbfclean", argument};
      char* argv[] = {arguments[0].data(), arguments[1].data()};
      TfrmSelectFiles::Options options = ArgumentOptions(2, argv);
      options.programDir = tree.program + "/";
      TfrmSelectFiles dialog(kestrel::Platform::Default(), options);
      const bool table = argument.back() == 'f';
      QCOMPARE(dialog.Directory(), table ? tree.root : argument);
      QCOMPARE(Child<QLineEdit>(&dialog, "eCurDir")->text(), QString::fromStdString(dialog.Directory()));
      QCOMPARE(Selection(dialog), std::string(table ? "1000" : "0"));
      if (table) {
        // The table is current, shown with its byte escaped (no UTF-8), and
        // the run gets its name as the disk spells it.
        QCOMPARE(Child<QListWidget>(&dialog, "fileList")->currentRow(), 0);
        QCOMPARE(Child<QListWidget>(&dialog, "fileList")->currentItem()->text(), QString("caf\\xE9.dbf"));
        QVERIFY(dialog.Entries()[0].name == "caf\xE9.dbf");
      }
      // The focus is in the file list on the table, so that Enter cleans it;
      // on a directory it is in the directory list.
      QString focus;
      OnModal<TfrmSelectFiles>([&focus](TfrmSelectFiles* d) {
        focus = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (d->isVisible()) d->reject();
      });
      QCOMPARE(dialog.exec(), table ? int(QDialog::Accepted) : int(QDialog::Rejected));
      QCOMPARE(focus, QString(table ? "fileList" : "dirList"));
      if (table) QCOMPARE(Selection(dialog), std::string("1000"));
    }

    // A file named that the list does not offer: the dialog opens on its
    // directory with nothing selected, and says why.
    for (const char* name : {"notes.txt", ".secret.dbf"}) {
      QString caption, text;
      QMessageBox::Icon icon = QMessageBox::NoIcon;
      OnModal<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
      });
      TfrmSelectFiles dialog(kestrel::Platform::Default(),
                             {.programDir = tree.program + "/", .argument = tree.root + "/" + name});
      QCOMPARE(dialog.Directory(), tree.root);
      QCOMPARE(Selection(dialog), std::string("0000"));
      QCOMPARE(caption, QString("dbfclean"));
      QCOMPARE(icon, QMessageBox::Information);
      QCOMPARE(text, QString(name) +
                         " is not in the list of tables: it lists the directory's *.dbf files that are "
                         "not hidden.");
    }
  }

  // The edit box names the directory and takes no typing; at the root it
  // names the root from the start.
  void editBoxNamesTheDirectoryReadOnly() {
    Tree tree;
    kestrel::Platform::Default().ChangeDirectory("/");
    TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
    auto* edit = Child<QLineEdit>(&dialog, "eCurDir");
    QCOMPARE(dialog.Directory(), std::string("/"));
    QCOMPARE(edit->text(), QString("/"));
    QVERIFY(edit->isReadOnly());
    dialog.show();
    edit->setFocus();
    QTest::keyClicks(edit, "tmp");
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("/"));
    kestrel::Platform::Default().ChangeDirectory(tree.root);
  }

  // The program's own command line, answered before Qt starts: run without
  // a display, so that a window would fail the case.
  void commandLineWithoutAWindow() {
    Tree tree;
    auto run = [](std::vector<std::string> args) {
      args.insert(args.begin(), {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                                 DBFCLEAN_PROGRAM});
      return apptest::RunProcess(args);
    };
    const apptest::ProcessResult help = run({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.starts_with("Usage: dbfclean [DIRECTORY | TABLE]\n       dbfclean --version\n"));
    QVERIFY(help.out.find("  -h, --help     show this text\n") != std::string::npos);
    const std::string usage = "\n" + help.out;
    struct Case {
      std::vector<std::string> args;
      int status;
      std::string out, err;
    };
    for (const Case& c : std::vector<Case>{
             {{"-h"}, 0, help.out, ""},
             {{"--version"}, 0, std::string("dbfclean ") + DBFCLEAN_VERSION + "\n", ""},
             {{"--bogus"}, 64, "", "dbfclean: unknown option '--bogus'\n" + usage},
             {{"-x", tree.root}, 64, "", "dbfclean: unknown option '-x'\n" + usage},
             {{tree.root, tree.root + "/orders.dbf"}, 64, "", "dbfclean: one DIRECTORY or TABLE at most\n" + usage},
             {{tree.root + "/no/such"}, 64, "", "dbfclean: no such directory or file: " + tree.root + "/no/such\n"},
             {{tree.root + "/notes.txt/x"},
              64,
              "",
              "dbfclean: no such directory or file: " + tree.root + "/notes.txt/x\n"},
             {{"--", "-x"}, 64, "", "dbfclean: no such directory or file: -x\n"},
             {{""}, 64, "", "dbfclean: the path is empty\n"},
         }) {
      const apptest::ProcessResult r = run(c.args);
      const std::string what = c.args[0];
      QVERIFY2(r.status == c.status, what.c_str());
      QVERIFY2(r.out == c.out, (what + ": " + r.out).c_str());
      QVERIFY2(r.err == c.err, (what + ": " + r.err).c_str());
    }
    // A directory or a table that is there goes on to the dialog.
    for (const std::string& path : {tree.root, tree.root + "/orders.dbf", std::string("A_sub")}) {
      std::string arguments[] = {"dbfclean", path};
      char* argv[] = {arguments[0].data(), arguments[1].data()};
      std::FILE* sink = std::tmpfile();
      QVERIFY2(!ReadCommandLine(2, argv, "1", sink, sink).has_value(), path.c_str());
      QCOMPARE(std::ftell(sink), 0L);
      std::fclose(sink);
    }
    QCOMPARE(CurrentDirectory(), tree.root);
  }

  void wholeRunThroughTheDialog() {
    Tree tree;
    struct SeenUi : QtRunUi {
      using QtRunUi::QtRunUi;
      QStringList panelTexts;
      QRect panelPlace;
      bool busy = true;
      bool neverActive = true;
      bool onTop = false;
      // The panel as it stands while each table is cleaned (progress comes
      // once or more per table).
      void TableProgress(int32_t, int32_t) override {
        TMsgPanel* panel = MsgPanel();
        const QString text = panel->captionPanel()->text();
        const QString seen = panel->isVisible() ? text : "hidden: " + text;
        if (!panelTexts.isEmpty() && panelTexts.back() == seen) return;
        panelTexts << seen;
        panelPlace = panel->geometry();
        // (The offscreen platform activates every window it shows, so only the
        // request not to be activated can be seen here.)
        neverActive = neverActive && panel->testAttribute(Qt::WA_ShowWithoutActivating) &&
                      (panel->windowFlags() & Qt::WindowDoesNotAcceptFocus) &&
                      (panel->windowFlags() & Qt::FramelessWindowHint);
        // Not kept above other windows, so that the halting box, shown while
        // the panel is up, comes in front of it.
        onTop = onTop || (panel->windowFlags() & Qt::WindowStaysOnTopHint);
        busy =
            busy && QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
      }
    };
    QtPlatform platform(kestrel::Platform::Default());
    kestrel::Engine engine(platform);
    SeenUi ui(platform, tree.Options());

    QString summaryCaption, summaryText;
    QMessageBox::Icon summaryIcon = QMessageBox::Critical;
    qsizetype summaryButtons = 0;
    bool panelHidden = false;
    OnModal<TfrmSelectFiles>([&](TfrmSelectFiles* d) {
      auto* files = Child<QListWidget>(d, "fileList");
      ClickItem(files, "orders.dbf");
      ClickItem(files, "CUSTOMER.DBF", Qt::ControlModifier);
      OnModal<QMessageBox>([&](QMessageBox* box) {
        summaryCaption = box->windowTitle();
        summaryText = box->text();
        summaryIcon = box->icon();
        summaryButtons = box->buttons().size();
        panelHidden = !ui.MsgPanel()->isVisible();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
      });
      QTest::mouseClick(Child(d, "btnOK"), Qt::LeftButton);
    });
    Counters counters;
    QCOMPARE(RunProgram(engine, ui, {}, &counters), 0);

    QCOMPARE(ui.panelTexts, QStringList({"Cleaning CUSTOMER.DBF database...", "Cleaning orders.dbf database..."}));
    QVERIFY(ui.busy);
    // The offscreen screen is 800 x 800: the panel is scaled by 800 : 640 and centred.
    QCOMPARE(ui.panelPlace, QRect(250, 365, 299, 70));
    QVERIFY(ui.neverActive);
    QVERIFY(!ui.onTop);
    QVERIFY(panelHidden);
    QCOMPARE(summaryCaption, QString("dbfclean"));
    QCOMPARE(summaryText, QString("Database(s) are cleaned up! Fixed 7 zeroes in 3 records"));
    QCOMPARE(summaryIcon, QMessageBox::NoIcon);
    QCOMPARE(summaryButtons, 1);
    QCOMPARE(counters.ZeroesFixed, 7);
    QCOMPARE(counters.RecordsFixed, 3);
    QVERIFY(testkit::ReadFile(tree.root + "/CUSTOMER.DBF") == CustomerTable(' '));
    QVERIFY(testkit::ReadFile(tree.root + "/orders.dbf") == OrdersTable(' '));
    QVERIFY(testkit::ReadFile(tree.root + "/.secret.dbf") == OrdersTable('\0'));
    QVERIFY(!testkit::FileExists(tree.root + "/cust.ndx"));
    QVERIFY(!ui.frmSelectFiles() && !ui.MsgPanel());  // freed at the end
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(CurrentDirectory(), tree.program);
  }

  // A table whose full path the engine would cut to its 255 characters, in
  // a directory that also holds a file named like the cut path: the run
  // refuses it in a box before any table is opened, and repairs neither.
  void refusesATableTheEngineWouldOpenUnderACutPath() {
    testkit::TempDir tmp;
    const std::string root = QDir(QString::fromStdString(tmp.path())).canonicalPath().toStdString();
    const std::string dir = root + "/" + std::string(257 - root.size() - std::string("//t.dbf").size(), 'd');
    QVERIFY(QDir().mkdir(QString::fromStdString(dir)));
    const std::string table = dir + "/t.dbf";
    QCOMPARE(table.size(), size_t{257});
    const std::string decoy = table.substr(0, 255);  // ".../t.d"
    for (const std::string& path : {table, decoy}) testkit::WriteFile(path, CustomerTable('\0'));
    testkit::WriteFile(dir + "/x.ndx", "index");
    QtPlatform platform(kestrel::Platform::Default());
    kestrel::Engine engine(platform);
    QtRunUi ui(platform, {.programDir = dir + "/", .argument = dir});
    QString boxText, boxCaption;
    OnModal<TfrmSelectFiles>([&](TfrmSelectFiles* d) {
      Child<QListWidget>(d, "fileList")->selectAll();
      OnModal<QMessageBox>([&](QMessageBox* box) {
        boxText = box->text();
        boxCaption = box->windowTitle();
        box->accept();
      });
      d->accept();
    });
    QCOMPARE(RunProgram(engine, ui), kExitWrongTable);
    QCOMPARE(boxCaption, QString("dbfclean"));
    QCOMPARE(boxText, QString::fromStdString("Cannot clean " + table +
                                             ": the path is longer than the table engine's 255 characters. No table "
                                             "was touched."));
    QVERIFY(testkit::ReadFile(table) == CustomerTable('\0'));
    QVERIFY(testkit::ReadFile(decoy) == CustomerTable('\0'));
    QVERIFY(testkit::FileExists(dir + "/x.ndx"));
  }

  // The program's window icon, drawn at each size it ships.
  void appIconAtEverySize() {
    const QIcon icon = AppIcon();
    for (int size : {16, 32, 48, 256}) {
      const QImage image = icon.pixmap(QSize(size, size)).toImage();
      QCOMPARE(image.size(), QSize(size, size));
      QCOMPARE(image.pixelColor(size / 2, size / 2).alpha(), 255);
    }
  }

  void haltingBoxAndExitStatus() {
    testkit::TempDir tmp;
    const std::string root = QDir(QString::fromStdString(tmp.path())).canonicalPath().toStdString();
    tmp.Write("bad.dbf", "not a table");
    tmp.Write("good.ndx", "index");
    const apptest::ProcessResult r =
        apptest::RunProcess({QCoreApplication::applicationFilePath().toStdString(), "--halt-child", root});
    QCOMPARE(r.status, 210);
    QCOMPARE(
        QString::fromStdString(r.out),
        QString::fromStdString("panel hidden|Program halted.|critical|Error # 210 (Not a dBASE data file)\n" + root +
                               "/bad.dbf is not a dBASE database. (Prolog is less than 32 bytes) [USE/OpenDBF]\n"));
    QVERIFY(testkit::FileExists(root + "/good.ndx"));  // a halted run erases nothing
  }

  void scalesByTextHeightOnA144PpiDisplay() {
    // The toolkit's own scaling is off: the dialog scales by its text height
    // : 13, the panel by it and then by screen width : 640, as on Windows.
    testkit::TempDir tmp;
    const std::string config = tmp.Write(
        "screen.json", R"({"screens": [{"width": 1024, "height": 768, "logicalDpi": 144, "logicalBaseDpi": 96}]})");
    const apptest::ProcessResult r =
        apptest::RunProcess({QCoreApplication::applicationFilePath().toStdString(), "--display-child", config});
    QCOMPARE(r.status, 0);
    QCOMPARE(QString::fromStdString(r.out), QString("text 20, dialog 554 x 409, panel 589 x 138\n"));
  }

  void centredOnTheFrameAWindowSystemGives() {
    // The offscreen platform centres a new window by itself; an X server
    // without a window manager does not, and gives it no frame.
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb.isEmpty()) QSKIP("needs xvfb-run");
    const apptest::ProcessResult r =
        apptest::RunProcess({xvfb.toStdString(), "-a", "-s", "-screen 0 800x800x24 -nolisten tcp",
                             QCoreApplication::applicationFilePath().toStdString(), "--centring-child"});
    QCOMPARE(QString::fromStdString(r.out), QString("dialog 0,0 from the middle, box 0,0 from the middle\n"));
    QCOMPARE(r.status, 0);
  }
};

namespace {

// The child of haltingBoxAndExitStatus: the real program's run on the table
// directory, OK with every table selected; the halting box is written to
// standard output as panel|caption|icon|text and closed.
int HaltChild(const char* directory) {
  QtPlatform platform(kestrel::Platform::Default());
  kestrel::Engine engine(platform);
  QtRunUi ui(platform, {.programDir = std::string(directory) + "/", .argument = directory});
  OnModal<TfrmSelectFiles>([&ui](TfrmSelectFiles* d) {
    Child<QListWidget>(d, "fileList")->selectAll();
    OnModal<QMessageBox>([&ui](QMessageBox* box) {
      // The panel named the table that halted; it is gone before the box.
      std::printf("%s|%s|%s|%s\n", ui.MsgPanel()->isVisible() ? "panel shown" : "panel hidden",
                  qPrintable(box->windowTitle()), box->icon() == QMessageBox::Critical ? "critical" : "other",
                  qPrintable(box->text()));
      std::fflush(stdout);
      box->accept();
    });
    d->accept();
  });
  RunProgram(engine, ui);
  return 99;  // the run should have ended the process
}

// The child of scalesByTextHeightOnA144PpiDisplay, on the screen its
// platform gives it: the sizes the dialog and the panel take.
int DisplayChild() {
  testkit::TempDir tmp;
  kestrel::Platform::Default().ChangeDirectory(tmp.path());
  TfrmSelectFiles dialog(kestrel::Platform::Default(), {.programDir = tmp.path() + "/"});
  TMsgPanel panel;
  std::printf("text %d, dialog %d x %d, panel %d x %d\n", dialog.TextHeight(), dialog.width(), dialog.height(),
              panel.width(), panel.height());
  return 0;
}

// The child of centredOnTheFrameAWindowSystemGives, on an X server: where
// the dialog and a box stand.
int CentringChild() {
  Tree tree;
  TfrmSelectFiles dialog(kestrel::Platform::Default(), tree.Options());
  dialog.show();
  const std::string dialogPlace = FromTheMiddle(dialog);
  auto box = MakeSummaryBox(SummaryText(Counters{7, 3}, false), kAppTitle);
  box->show();
  std::printf("dialog %s from the middle, box %s from the middle\n", dialogPlace.c_str(), FromTheMiddle(*box).c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--display-child") {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + argv[2]);
  }
  if (argc == 2 && std::string(argv[1]) == "--centring-child") qputenv("QT_QPA_PLATFORM", "xcb");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TurnOffToolkitScaling();
  QApplication app(argc, argv);
  if (argc == 3 && std::string(argv[1]) == "--halt-child") return HaltChild(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--display-child") return DisplayChild();
  if (argc == 2 && std::string(argv[1]) == "--centring-child") return CentringChild();
  DesktopTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
