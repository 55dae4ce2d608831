// Renders the desktop program's own dialog, panel and boxes into PNG files
// for the README: dbfclean-screenshots OUTPUT-DIRECTORY SAMPLES-DIRECTORY.
// It runs on Qt's offscreen platform, which has no window manager, so each
// window with a caption gets a plain title bar drawn around it here.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPainter>
#include <cstdio>

#include "display.h"
#include "kestrel/engine.h"
#include "kestrel/names.h"
#include "qt_program.h"

using namespace dbfclean;

namespace {

QImage Framed(QWidget& window) {
  const QImage client = window.grab().toImage();
  const int border = 3, bar = 20;
  QImage framed(client.width() + 2 * border, client.height() + bar + 2 * border, QImage::Format_RGB32);
  QPainter p(&framed);
  p.fillRect(framed.rect(), QColor(212, 208, 200));
  p.setPen(QColor(64, 64, 64));
  p.drawRect(framed.rect().adjusted(0, 0, -1, -1));
  QLinearGradient title(0, 0, framed.width(), 0);
  title.setColorAt(0, QColor(10, 36, 106));
  title.setColorAt(1, QColor(166, 202, 240));
  p.fillRect(QRect(border, border, client.width(), bar - 1), title);
  QFont font = window.font();
  font.setBold(true);
  font.setPixelSize(12);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(border + 4, border, client.width() - 8, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
             window.windowTitle());
  p.drawImage(border, border + bar, client);
  return framed;
}

bool Save(const QImage& image, const QString& directory, const char* name) {
  const QString path = directory + "/" + name;
  if (!image.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TurnOffToolkitScaling();
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: dbfclean-screenshots OUTPUT-DIRECTORY SAMPLES-DIRECTORY\n");
    return 64;
  }
  // Absolute: the dialog moves the current directory.
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);

  // A directory of tables as a user would keep them, with two subdirectories.
  QDir demo(QDir::tempPath() + "/dbfclean-demo");
  demo.removeRecursively();
  const QString data = demo.path() + "/tables";
  QDir().mkpath(data + "/archive");
  QDir().mkpath(data + "/exports");
  const QDir samples(QString::fromLocal8Bit(argv[2]));
  for (const QString& name : samples.entryList(QDir::Files)) QFile::copy(samples.filePath(name), data + "/" + name);
  QFile bad(data + "/broken.dbf");
  bad.open(QIODevice::WriteOnly);
  bad.write("not a table");
  bad.close();

  kestrel::Platform& platform = kestrel::Platform::Default();
  bool ok = true;
  {
    TfrmSelectFiles::Options options;
    options.argument = QFile::encodeName(data).toStdString();
    TfrmSelectFiles dialog(platform, options);
    auto* files = dialog.findChild<QListWidget*>(QStringLiteral("fileList"));
    for (const char* name : {"CUSTOMER.DBF", "orders.dbf"}) {
      for (QListWidgetItem* item : files->findItems(QString::fromLatin1(name), Qt::MatchExactly)) {
        item->setSelected(true);
      }
    }
    dialog.show();
    Settle();
    ok &= Save(Framed(dialog), out, "qt-dialog.png");
    dialog.hide();
  }
  {
    TMsgPanel panel;
    panel.ShowProgress(QStringLiteral("Cleaning CUSTOMER.DBF database..."));
    Settle();
    ok &= Save(panel.grab().toImage(), out, "qt-panel.png");
    panel.HideProgress();
  }
  {
    auto box = MakeSummaryBox(SummaryText(Counters{47, 6}, false), kAppTitle);
    box->show();
    Settle();
    ok &= Save(Framed(*box), out, "qt-summary.png");
  }
  {
    // The report of a table that is not a dBASE file, as the engine words it.
    std::string report;
    {
      kestrel::Engine engine(platform);
      engine.RaiseErrors = true;
      try {
        engine.USE(QFile::encodeName(data).toStdString() + "/broken.dbf EXCLUSIVE");
      } catch (const kestrel::EKestrelError& e) {
        report = e.what();
      }
    }
    auto box = MakeHaltBox(kestrel::Cut(report, kestrel::kMaxText), kestrel::Engine::kHaltCaption, nullptr);
    box->show();
    Settle();
    ok &= Save(Framed(*box), out, "qt-halt.png");
  }
  demo.removeRecursively();
  return ok ? 0 : 1;
}
