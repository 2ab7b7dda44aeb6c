#pragma once

#include <QString>

class QWidget;

namespace vorn {

// Button sets of a message box.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
// Not among the desktop's sets: a question whose only alternative is to give up.
inline constexpr unsigned MB_YESCANCEL = 0x7;
inline constexpr unsigned MB_TYPEMASK = 0xF;
// Icons.
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;

// What the user chose.
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The application's main window, which owns message boxes and dialogs without a parent: the one
// registered with AfxSetMainWnd, else the first top-level main window. May be nullptr.
QWidget* AfxGetMainWnd();
void AfxSetMainWnd(QWidget* window);

// The application's message box, the one way the program shows a message: caption = the
// application title, the buttons of nType (the first one is the default; Esc and the close box
// mean Cancel, or No where there is no Cancel), its icon, modal. Owned by the active modal window,
// else the active window of the program, else the main window. CR LF in the text is a line
// break. Runs a modal loop that keeps dispatching posted events. Returns IDOK, IDCANCEL, IDYES or
// IDNO. UI thread only.
int AfxMessageBox(const QString& text, unsigned nType = MB_OK, unsigned nIDHelp = 0);

} // namespace vorn
