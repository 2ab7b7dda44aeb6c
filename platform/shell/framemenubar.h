#pragma once

#include <QMenuBar>
#include <QPointer>

#include <vector>

namespace vorn {

// The main frame's menu bar with the desktop's rules for mnemonics: a mnemonic that only one
// entry has runs it (a command) or opens it (a popup), as Qt does; a mnemonic that several
// entries share only moves a keyboard highlight from one of them to the next, wrapping round,
// and runs nothing. Enter (or Down) then runs the highlighted command or opens the highlighted
// popup, Left and Right move the highlight where they point and Tab and Backtab in reading order,
// Escape, Alt or a click elsewhere ends it. A letter committed by an input method acts as its key.
// Assistive technology hears each entry the highlight moves to. The highlight leaves the keyboard
// focus where it was when it ends. Runs on the UI thread.
class CFrameMenuBar : public QMenuBar
{
    Q_OBJECT

public:
    explicit CFrameMenuBar(QWidget* parent = nullptr);

    // The entry highlighted from the keyboard without a popup open, or nullptr.
    [[nodiscard]] QAction* HighlightedAction() const { return m_pHighlight; }
    // The visible entries whose mnemonic is the letter, in menu-bar order.
    [[nodiscard]] std::vector<QAction*> EntriesWithMnemonic(QChar letter) const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void actionEvent(QActionEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Moves the highlight to the next entry with this shared mnemonic.
    void StepSharedMnemonic(QChar letter);
    void Highlight(QAction* pAction);
    // Ends the highlight; with bRestoreFocus the focus goes back where it was before.
    void EndHighlight(bool bRestoreFocus);
    // Runs the command, or opens the popup with its first item selected.
    void Activate(QAction* pAction);
    [[nodiscard]] std::vector<QAction*> VisibleEntries() const;

    QPointer<QAction> m_pHighlight;
    QPointer<QWidget> m_pFocusBefore;
    bool m_bAltAlone = false; // Alt went down with no other key since
    bool m_bEnding = false;
};

} // namespace vorn
