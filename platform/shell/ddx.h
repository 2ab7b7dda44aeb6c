#pragma once

class QWidget;

namespace vorn {

class CDialogEx;

// One exchange between a dialog's controls and its members, in one direction. A refused control
// ends the exchange: the remaining calls do nothing, and the dialog stays open with that
// control focused.
class CDataExchange
{
public:
    CDataExchange(CDialogEx* pDlgWnd, bool bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate)
        , m_pDlgWnd(pDlgWnd)
    { }

    // Focuses the control and selects its whole text, and marks the exchange failed.
    void Fail(QWidget* control);
    [[nodiscard]] bool Failed() const { return m_bFailed; }

    bool m_bSaveAndValidate;
    CDialogEx* m_pDlgWnd;

private:
    bool m_bFailed = false;
};

// The index of the checked radio button in the group that starts with control nIDC (-1 when
// none is checked); towards the controls, checks the button at that index and clears the others.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);

// A double in an edit control: shown as "%.15g" in the C locale; read back as a finite decimal
// number with blanks allowed around it. Other text is refused with the framework's standard
// message, and value keeps its previous content.
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);

} // namespace vorn
