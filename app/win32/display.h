// The display's pixels per inch and the dialog's font on it, whose text
// height scales the dialog and the panel alike.
#pragma once

#include <windows.h>

namespace dbfclean::win32 {

int ScreenPpi();

// "MS Sans Serif" `fontHeight` high (negative: the character height, as
// DialogFontHeight gives it); the caller deletes it.
HFONT CreateDialogFont(int fontHeight);

// The text height of the dialog's font on this display.
int DialogTextHeight(int ppi);

}  // namespace dbfclean::win32
