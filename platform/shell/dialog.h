#pragma once

#include <QDialog>

#include <vector>

class QAbstractButton;
class QButtonGroup;

namespace vorn {

struct DialogTemplate;
class CDataExchange;

// A modal dialog built from a dialog template of the resources: controls, texts, ids, radio
// groups and tab order as the template gives them, dialog units converted with the dialog
// font's metrics (x: average character width / 4, y: line height / 8). OK runs the exchange
// from the controls and closes with IDOK only when it succeeds; Cancel, Esc and the close box
// close with IDCANCEL without an exchange. UI thread only.
class CDialogEx : public QDialog
{
    Q_OBJECT

public:
    explicit CDialogEx(int nIDTemplate, QWidget* pParent = nullptr);
    ~CDialogEx() override;

    // Runs the exchange towards the controls, shows the dialog modally (posted events keep being
    // processed) and returns IDOK (1), IDCANCEL (2), or -1 when there is no such template.
    int DoModal();

    // Exchange in one direction; false when a control's text was refused.
    bool UpdateData(bool bSaveAndValidate = true);

    // The control of that id (the first one for a repeated id), or nullptr.
    [[nodiscard]] QWidget* GetDlgItem(int nID) const;
    // The radio buttons of the group that starts with the control of that id, in order.
    [[nodiscard]] std::vector<QAbstractButton*> RadioGroup(int nFirstID) const;

    // The size of one horizontal and one vertical dialog unit in pixels, times 4 and 8.
    [[nodiscard]] int BaseUnitX() const { return m_nBaseUnitX; }
    [[nodiscard]] int BaseUnitY() const { return m_nBaseUnitY; }

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult) { QDialog::done(nResult); }

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    struct Control
    {
        int id;
        unsigned style;
        QWidget* widget;
        QButtonGroup* radioGroup;
    };

    void Build(const DialogTemplate& dialogTemplate);

    std::vector<Control> m_controls;
    int m_nBaseUnitX = 0;
    int m_nBaseUnitY = 0;
    bool m_bBuilt = false;
};

} // namespace vorn
