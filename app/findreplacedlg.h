#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorn {

class CVornView;

// The last search of the program, shared by all views as Find next repeats it.
struct FindState
{
    QString strFind;
    QString strReplace;
    bool bMatchCase = false;
    bool bForward = true;
};
FindState& LastFind();

// The modeless Find or Replace dialog. It acts on the view that opened it last; one dialog of
// each kind exists at a time. Runs on the UI thread.
class CFindReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    // Shows (creating it if needed) the Find or the Replace dialog for the view.
    static CFindReplaceDlg* Show(CVornView* pView, bool bReplace);

    [[nodiscard]] bool IsReplace() const { return m_bReplace; }
    [[nodiscard]] CVornView* View() const { return m_pView; }

    QLineEdit* m_pFindEdit = nullptr;
    QLineEdit* m_pReplaceEdit = nullptr;
    QCheckBox* m_pMatchCase = nullptr;
    QRadioButton* m_pUp = nullptr;
    QRadioButton* m_pDown = nullptr;
    QPushButton* m_pFindNext = nullptr;
    QPushButton* m_pReplace = nullptr;
    QPushButton* m_pReplaceAll = nullptr;

    void OnFindNext();
    void OnReplace();
    void OnReplaceAll();

private:
    CFindReplaceDlg(QWidget* parent, bool bReplace);
    void StoreState();
    void UpdateButtons();

    bool m_bReplace;
    QPointer<CVornView> m_pView;
};

} // namespace vorn
