#include "ddx.h"

#include "dialog.h"
#include "messagebox.h"
#include "numbertext.h"
#include "resources.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>

namespace vorn {

void CDataExchange::Fail(QWidget* control)
{
    m_bFailed = true;
    if (control == nullptr) {
        return;
    }
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    }
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    if (pDX->Failed()) {
        return;
    }
    const std::vector<QAbstractButton*> buttons = pDX->m_pDlgWnd->RadioGroup(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked()) {
                value = static_cast<int>(i);
                break;
            }
        }
        return;
    }
    // An exclusive group refuses to have its checked button cleared; lift that for the moment.
    QButtonGroup* group = buttons.empty() ? nullptr : buttons.front()->group();
    const bool exclusive = group != nullptr && group->exclusive();
    if (group != nullptr) {
        group->setExclusive(false);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setChecked(static_cast<int>(i) == value);
    }
    if (group != nullptr) {
        group->setExclusive(exclusive);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value)
{
    if (pDX->Failed()) {
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(nIDC));
    if (edit == nullptr) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        edit->setText(QString::fromStdString(FormatDouble15g(value)));
        return;
    }
    const std::optional<double> parsed = ParseFiniteDecimal(edit->text().toStdString());
    if (!parsed) {
        AfxMessageBox(LoadStringResource(AFX_IDP_PARSE_REAL), MB_OK | MB_ICONEXCLAMATION, 0);
        pDX->Fail(edit);
        return;
    }
    value = *parsed;
}

} // namespace vorn
