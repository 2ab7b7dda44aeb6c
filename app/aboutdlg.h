#pragma once

#include "dialog.h"

namespace vorn {

// The About box, built from dialog template 100: icon, "Vorn, Version 1.0", the legal notice
// and OK. OK, Esc and the close box end it; it exchanges no data. Runs on the UI thread.
class CAboutDlg : public CDialogEx
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};

} // namespace vorn
