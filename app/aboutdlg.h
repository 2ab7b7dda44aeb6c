#pragma once

#include <QDialog>

namespace vorn {

// The About box, laid out from dialog template 100: icon, "Vorn, Version 1.0", the legal notice
// and OK. OK, Esc and the close box end it. Runs on the UI thread.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace vorn
