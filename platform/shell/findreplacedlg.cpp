#include "findreplacedlg.h"

#include "messagebox.h"
#include "resources.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace vorn {

FindState& LastFind()
{
    static FindState state;
    return state;
}

bool FindTextInEdit(QPlainTextEdit* pEdit, const QString& strFind, bool bMatchCase, bool bForward)
{
    if (strFind.isEmpty()) {
        return false;
    }
    QTextDocument::FindFlags flags;
    if (bMatchCase) {
        flags |= QTextDocument::FindCaseSensitively;
    }
    if (!bForward) {
        flags |= QTextDocument::FindBackward;
    }
    const QTextCursor match = pEdit->document()->find(strFind, pEdit->textCursor(), flags);
    if (match.isNull()) {
        return false;
    }
    pEdit->setTextCursor(match);
    return true;
}

namespace {
QPointer<CFindReplaceDlg> g_findDialog;
QPointer<CFindReplaceDlg> g_replaceDialog;
} // namespace

CFindReplaceDlg* CFindReplaceDlg::Show(QPlainTextEdit* pEdit, bool bReplace)
{
    QPointer<CFindReplaceDlg>& slot = bReplace ? g_replaceDialog : g_findDialog;
    QPointer<CFindReplaceDlg>& other = bReplace ? g_findDialog : g_replaceDialog;
    if (other) {
        other->close();
    }
    if (!slot) {
        slot = new CFindReplaceDlg(pEdit->window(), bReplace);
    }
    slot->m_pEdit = pEdit;
    const FindState& state = LastFind();
    const QString selected = pEdit->textCursor().selectedText();
    slot->m_pFindEdit->setText(!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)
            ? selected
            : state.strFind);
    slot->m_pFindEdit->selectAll();
    if (slot->m_pReplaceEdit) {
        slot->m_pReplaceEdit->setText(state.strReplace);
    }
    slot->m_pMatchCase->setChecked(state.bMatchCase);
    if (slot->m_pDown) {
        slot->m_pDown->setChecked(state.bForward);
        slot->m_pUp->setChecked(!state.bForward);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
    slot->m_pFindEdit->setFocus();
    return slot;
}

CFindReplaceDlg::CFindReplaceDlg(QWidget* parent, bool bReplace)
    : QDialog(parent)
    , m_bReplace(bReplace)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LoadStringResource(bReplace ? IDS_REPLACE_CAPTION : IDS_FIND_CAPTION));
    setModal(false);

    auto* fields = new QGridLayout;
    m_pFindEdit = new QLineEdit(this);
    auto* findLabel = new QLabel(LoadStringResource(IDS_FIND_WHAT), this);
    findLabel->setBuddy(m_pFindEdit);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(m_pFindEdit, 0, 1);
    if (bReplace) {
        m_pReplaceEdit = new QLineEdit(this);
        auto* replaceLabel = new QLabel(LoadStringResource(IDS_REPLACE_WITH), this);
        replaceLabel->setBuddy(m_pReplaceEdit);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(m_pReplaceEdit, 1, 1);
    }
    m_pMatchCase = new QCheckBox(LoadStringResource(IDS_MATCH_CASE), this);

    auto* options = new QHBoxLayout;
    options->addWidget(m_pMatchCase);
    if (!bReplace) {
        auto* direction = new QGroupBox(LoadStringResource(IDS_DIRECTION), this);
        m_pUp = new QRadioButton(LoadStringResource(IDS_DIRECTION_UP), direction);
        m_pDown = new QRadioButton(LoadStringResource(IDS_DIRECTION_DOWN), direction);
        auto* directionLayout = new QHBoxLayout(direction);
        directionLayout->addWidget(m_pUp);
        directionLayout->addWidget(m_pDown);
        options->addWidget(direction);
    }

    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    m_pFindNext = new QPushButton(LoadStringResource(IDS_FIND_NEXT_BUTTON), this);
    m_pFindNext->setDefault(true);
    buttons->addWidget(m_pFindNext);
    connect(m_pFindNext, &QPushButton::clicked, this, &CFindReplaceDlg::OnFindNext);
    if (bReplace) {
        m_pReplace = new QPushButton(LoadStringResource(IDS_REPLACE_BUTTON), this);
        m_pReplaceAll = new QPushButton(LoadStringResource(IDS_REPLACE_ALL_BUTTON), this);
        buttons->addWidget(m_pReplace);
        buttons->addWidget(m_pReplaceAll);
        connect(m_pReplace, &QPushButton::clicked, this, &CFindReplaceDlg::OnReplace);
        connect(m_pReplaceAll, &QPushButton::clicked, this, &CFindReplaceDlg::OnReplaceAll);
    }
    auto* cancel = new QPushButton(LoadStringResource(IDS_CANCEL_BUTTON), this);
    buttons->addWidget(cancel);
    buttons->addStretch();
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(buttons);

    connect(m_pFindEdit, &QLineEdit::textChanged, this, &CFindReplaceDlg::UpdateButtons);
    UpdateButtons();
}

void CFindReplaceDlg::UpdateButtons()
{
    const bool hasText = !m_pFindEdit->text().isEmpty();
    m_pFindNext->setEnabled(hasText);
    if (m_pReplace) {
        m_pReplace->setEnabled(hasText);
        m_pReplaceAll->setEnabled(hasText);
    }
}

void CFindReplaceDlg::StoreState()
{
    FindState& state = LastFind();
    state.strFind = m_pFindEdit->text();
    if (m_pReplaceEdit) {
        state.strReplace = m_pReplaceEdit->text();
    }
    state.bMatchCase = m_pMatchCase->isChecked();
    // Replace always searches downwards.
    state.bForward = m_pDown ? m_pDown->isChecked() : true;
}

void CFindReplaceDlg::OnFindNext()
{
    StoreState();
    if (!m_pEdit) {
        return;
    }
    const FindState& state = LastFind();
    if (!FindTextInEdit(m_pEdit, state.strFind, state.bMatchCase, state.bForward)) {
        AfxMessageBox(
            LoadStringResource(IDS_TEXT_NOT_FOUND).arg(state.strFind), MB_OK | MB_ICONINFORMATION);
    }
}

void CFindReplaceDlg::OnReplace()
{
    StoreState();
    if (!m_pEdit) {
        return;
    }
    const FindState& state = LastFind();
    QTextCursor cursor = m_pEdit->textCursor();
    const Qt::CaseSensitivity cs = state.bMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (cursor.hasSelection() && QString::compare(cursor.selectedText(), state.strFind, cs) == 0) {
        cursor.insertText(state.strReplace);
        m_pEdit->setTextCursor(cursor);
    }
    OnFindNext();
}

void CFindReplaceDlg::OnReplaceAll()
{
    StoreState();
    if (!m_pEdit) {
        return;
    }
    const FindState& state = LastFind();
    QTextCursor start = m_pEdit->textCursor();
    start.movePosition(QTextCursor::Start);
    m_pEdit->setTextCursor(start);
    QTextCursor edit = m_pEdit->textCursor();
    edit.beginEditBlock();
    bool any = false;
    while (FindTextInEdit(m_pEdit, state.strFind, state.bMatchCase, true)) {
        QTextCursor match = m_pEdit->textCursor();
        match.insertText(state.strReplace);
        m_pEdit->setTextCursor(match);
        any = true;
    }
    edit.endEditBlock();
    if (!any) {
        AfxMessageBox(
            LoadStringResource(IDS_TEXT_NOT_FOUND).arg(state.strFind), MB_OK | MB_ICONINFORMATION);
    }
}

} // namespace vorn

#include "moc_findreplacedlg.cpp"
