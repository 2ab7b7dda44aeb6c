#pragma once

#include <QString>

class QWidget;

namespace vorn {

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;

// The application's main window, which owns message boxes and dialogs without a parent: the one
// registered with AfxSetMainWnd, else the first top-level main window. May be nullptr.
QWidget* AfxGetMainWnd();
void AfxSetMainWnd(QWidget* window);

// The application's message box: caption = the application title, one OK button, modal, owned
// by the active modal window or else the main window. CR LF in the text is a line break. Runs
// a modal loop that keeps dispatching posted events. Returns IDOK (1). UI thread only.
int AfxMessageBox(const QString& text, unsigned nType = MB_OK, unsigned nIDHelp = 0);

} // namespace vorn
