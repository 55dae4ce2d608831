// How the Linux desktop program fits the display, as the Windows one does:
// the toolkit's own scaling stays off, the dialog's font and its text height
// come from the display's pixels per inch, and windows stand in the middle of
// the screen by their real frame.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <string>

class QWidget;

namespace dbfclean {

// Before the application object exists: the program scales its windows by
// its own rules, so the toolkit must not scale them again.
void TurnOffToolkitScaling();

QSize ScreenSize();
int ScreenPpi();

// "MS Sans Serif" (or the desktop's sans-serif font) at the dialog's height
// for `ppi`, and the text height it has on the display.
QFont DialogFont(int ppi);
QFont DialogFontOfHeight(int fontHeight);
int DialogTextHeight(int ppi);

// Places `window` (a top-level window) in the middle of the screen whenever
// it is shown, and again once a window manager has put its frame around it.
void KeepCentred(QWidget* window);

// Names and texts that hold names, as the windows show them: the bytes
// decoded as UTF-8 (the locale's encoding here), each byte that is not part
// of a valid sequence shown as "\xE9" rather than as a replacement mark.
QString ShownText(const std::string& bytes);

}  // namespace dbfclean
