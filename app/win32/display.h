// The display's pixels per inch and the dialog's font on it, whose text
// height scales the dialog and the panel alike.
#pragma once

#include <windows.h>

#include <string>

namespace dbfclean::win32 {

int ScreenPpi();

// "MS Sans Serif" `fontHeight` high (negative: the character height, as
// DialogFontHeight gives it); the caller deletes it.
HFONT CreateDialogFont(int fontHeight);

// The text height of the dialog's font on this display.
int DialogTextHeight(int ppi);

// A message box's text with line breaks in every word (a long path) wider
// than half the screen in the boxes' font: the system's box breaks only
// between words, so such a word would make it wider than the screen.
std::string FitBoxText(const std::string& text);

}  // namespace dbfclean::win32
