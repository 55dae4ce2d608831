// The progress panel's window, bevels and placement.
#include "ushowmsg.h"

#include <QCoreApplication>
#include <QPainter>

#include "display.h"
#include "panel_model.h"

namespace dbfclean {

CaptionFrame::CaptionFrame(QWidget* parent) : QFrame(parent), text_(QString::fromLatin1(kPanelInitialText)) {
  setObjectName(QStringLiteral("CaptionPanel"));
  setAutoFillBackground(false);
}

void CaptionFrame::setText(const QString& text) {
  text_ = text;
  update();
}

void CaptionFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect r = rect();
  painter.fillRect(r, Qt::yellow);
  // Two raised bevels, outer then inner: light above and left, shadow below and right.
  const QColor light = Qt::white;
  const QColor shadow(128, 128, 128);
  for (int inset = 0; inset < 2; ++inset) {
    const QRect b = r.adjusted(inset, inset, -inset, -inset);
    painter.setPen(light);
    painter.drawLine(b.topLeft(), b.topRight());
    painter.drawLine(b.topLeft(), b.bottomLeft());
    painter.setPen(shadow);
    painter.drawLine(b.bottomLeft(), b.bottomRight());
    painter.drawLine(b.topRight(), b.bottomRight());
  }
  painter.setClipRect(r.adjusted(2, 2, -2, -2));
  painter.setPen(Qt::black);
  painter.setFont(font());
  painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

TMsgPanel::TMsgPanel() : QWidget(nullptr) {
  setObjectName(QStringLiteral("MsgPanel"));
  setWindowTitle(QStringLiteral("MsgPanel"));
  // Borderless, and never takes the focus from the window the user works in.
  // Not kept above other windows: a box the run shows (the halting report)
  // must come in front of it.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  QPalette yellow = palette();
  yellow.setColor(QPalette::Window, Qt::yellow);
  yellow.setColor(QPalette::WindowText, Qt::black);
  setPalette(yellow);
  setAutoFillBackground(true);
  CaptionPanel = new CaptionFrame(this);
  FormCreate();
}

void TMsgPanel::FormCreate() {
  // Scaled by the display's text height, then by screen width : 640; the
  // position is left to ShowProgress.
  const PanelGeometry g = ScalePanel(ScreenSize().width(), DialogTextHeight(ScreenPpi()));
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(true);
  font.setPointSize(g.fontPoints);
  CaptionPanel->setFont(font);
  setFixedSize(g.width, g.height);
}

void TMsgPanel::resizeEvent(QResizeEvent*) { CaptionPanel->setGeometry(rect()); }

void TMsgPanel::ShowProgress(const QString& text) {
  // Centred again each time: the screen may have changed between tables.
  const QSize screen = ScreenSize();
  const ScreenPlace place = CentreOnScreen(screen.width(), screen.height(), width(), height());
  move(place.left, place.top);
  show();
  CaptionPanel->setText(text);
  QCoreApplication::processEvents();
}

void TMsgPanel::HideProgress() {
  hide();
  QCoreApplication::processEvents();
}

}  // namespace dbfclean
