// Display scaling, the dialog font and centring on the real frame.
#include "display.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cstdlib>

#include "dialog_model.h"
#include "panel_model.h"

namespace dbfclean {

namespace {

// Centres its window on the frame the window has: none without a window
// manager, the manager's once it has framed the window. It centres when the
// window is shown, when the program sizes it (a message box sizes itself as
// it is shown), and when the frame changes (a window manager reports it
// after the window is shown); a move by the user keeps the frame and stays.
class Centring : public QObject {
 public:
  explicit Centring(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Resize && type != QEvent::Move) return false;
    const QMargins frame = window_->windowHandle() ? window_->windowHandle()->frameMargins() : QMargins();
    if (type == QEvent::Move && frame == frame_) return false;
    frame_ = frame;
    const QSize screen = ScreenSize();
    const QSize outer = window_->size().grownBy(frame);
    const ScreenPlace place = CentreOnScreen(screen.width(), screen.height(), outer.width(), outer.height());
    window_->move(place.left, place.top);  // a window's position is its frame's
    return false;
  }

 private:
  QWidget* window_;
  QMargins frame_;
};

}  // namespace

void TurnOffToolkitScaling() { qputenv("QT_ENABLE_HIGHDPI_SCALING", "0"); }

QSize ScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(kDesignScreenWidth, 480);
}

int ScreenPpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? qRound(screen->logicalDotsPerInchY()) : kDesignPpi;
}

QFont DialogFontOfHeight(int fontHeight) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::abs(fontHeight));
  return font;
}

QFont DialogFont(int ppi) { return DialogFontOfHeight(DialogFontHeight(ppi)); }

int DialogTextHeight(int ppi) {
  return DisplayTextHeight(ppi, [](int fontHeight) { return QFontMetrics(DialogFontOfHeight(fontHeight)).height(); });
}

void KeepCentred(QWidget* window) { new Centring(window); }

}  // namespace dbfclean
