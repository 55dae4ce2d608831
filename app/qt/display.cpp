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
// it is shown), and when the window is exposed with another frame than it
// was centred on (a window manager frames a window as it maps it, after the
// program has placed it); a move by the user keeps the frame and stays.
class Centring : public QObject {
 public:
  explicit Centring(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Show:
        if (QWindow* handle = window_->windowHandle(); handle && !watchingHandle_) {
          handle->installEventFilter(this);
          watchingHandle_ = true;
        }
        Centre();
        break;
      case QEvent::Resize:
        if (watched == window_) Centre();
        break;
      case QEvent::Expose:
        if (Frame() != frame_) Centre();
        break;
      default: break;
    }
    return false;
  }

 private:
  QMargins Frame() const { return window_->windowHandle() ? window_->windowHandle()->frameMargins() : QMargins(); }

  void Centre() {
    frame_ = Frame();
    const QSize screen = ScreenSize();
    const QSize outer = window_->size().grownBy(frame_);
    const ScreenPlace place = CentreOnScreen(screen.width(), screen.height(), outer.width(), outer.height());
    window_->move(place.left, place.top);  // a window's position is its frame's
  }

  QWidget* window_;
  QMargins frame_;
  bool watchingHandle_ = false;
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

QString ShownText(const std::string& bytes) { return QString::fromUtf8(EscapedName(bytes)); }

}  // namespace dbfclean
