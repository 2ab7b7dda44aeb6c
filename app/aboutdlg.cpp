#include "aboutdlg.h"

#include "resources.h"

namespace vorn {

CAboutDlg::CAboutDlg(QWidget* pParent)
    : CDialogEx(IDD_ABOUTBOX, pParent)
{ }

} // namespace vorn

#include "moc_aboutdlg.cpp"
