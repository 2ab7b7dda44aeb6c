#include "drawdlg.h"

#include "ddx.h"
#include "resources.h"

namespace vorn {

CDrawDlg::CDrawDlg(QWidget* pParent)
    : CDialogEx(IDD_DRAW, pParent)
{ }

CDrawDlg::~CDrawDlg() = default;

void CDrawDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    int input = m_nInput;
    DDX_Radio(pDX, IDC_RADIO_SINE, input);
    m_nInput = input;
    DDX_Text(pDX, IDC_EDIT_FREQ, m_dFreq);
}

} // namespace vorn

#include "moc_drawdlg.cpp"
