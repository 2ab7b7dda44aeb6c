#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorn {

// The last search of the program, shared by all views as Find next repeats it.
struct FindState
{
    QString strFind;
    QString strReplace;
    bool bMatchCase = false;
    bool bForward = true;
};
FindState& LastFind();

// Selects the next match of strFind in the edit from its cursor on (backwards unless bForward);
// returns whether there was one.
bool FindTextInEdit(QPlainTextEdit* pEdit, const QString& strFind, bool bMatchCase, bool bForward);

// The modeless Find or Replace dialog of an edit view. It acts on the edit that opened it last;
// one dialog of each kind exists at a time. Runs on the UI thread.
class CFindReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    // Shows (creating it if needed) the Find or the Replace dialog for the edit.
    static CFindReplaceDlg* Show(QPlainTextEdit* pEdit, bool bReplace);

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
    QPointer<QPlainTextEdit> m_pEdit;
};

} // namespace vorn
