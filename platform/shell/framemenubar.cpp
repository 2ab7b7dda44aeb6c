#include "framemenubar.h"

#include <QAccessible>
#include <QActionEvent>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QShortcutEvent>
#include <QStatusTipEvent>
#include <QStyleOption>
#include <QStyleOptionMenuItem>

#include <algorithm>

namespace vorn {

namespace {

// The mnemonic letter of a menu text ("&&" is a plain ampersand), upper case; null if none.
QChar MnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') {
            continue;
        }
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return {};
}

// The letter a key press stands for, upper case; null for keys that are no letter.
QChar LetterOf(const QKeyEvent* event)
{
    if (event->text().size() == 1 && event->text().front().isPrint()) {
        return event->text().front().toUpper();
    }
    const int key = event->key();
    return key > 0x20 && key < 0xFFFF ? QChar(static_cast<char16_t>(key)).toUpper() : QChar();
}

// The letter a text committed by an input method stands for, upper case, as the key of that
// letter would give it: a full-width letter is its ASCII letter. Null unless it is one letter
// or digit.
QChar CommittedLetter(const QString& committed)
{
    const QString folded = committed.normalized(QString::NormalizationForm_KC);
    if (folded.size() != 1 || !folded.front().isLetterOrNumber()) {
        return {};
    }
    return folded.front().toUpper();
}

} // namespace

CFrameMenuBar::CFrameMenuBar(QWidget* parent)
    : QMenuBar(parent)
{ }

std::vector<QAction*> CFrameMenuBar::VisibleEntries() const
{
    std::vector<QAction*> entries;
    for (QAction* action : actions()) {
        if (!action->isSeparator() && action->isVisible() && !actionGeometry(action).isEmpty()) {
            entries.push_back(action);
        }
    }
    return entries;
}

std::vector<QAction*> CFrameMenuBar::EntriesWithMnemonic(QChar letter) const
{
    std::vector<QAction*> entries = VisibleEntries();
    std::erase_if(entries, [letter](QAction* action) {
        return letter.isNull() || MnemonicOf(action->text()) != letter;
    });
    return entries;
}

bool CFrameMenuBar::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // While an entry is highlighted every key comes here, mnemonics and accelerators too.
        if (m_pHighlight) {
            event->accept();
            return true;
        }
        break;
    case QEvent::Shortcut: {
        const QKeyCombination key = static_cast<QShortcutEvent*>(event)->key()[0];
        const int code = key.key();
        const QChar letter
            = code > 0x20 && code < 0xFFFF ? QChar(static_cast<char16_t>(code)).toUpper() : QChar();
        if (key.keyboardModifiers().testFlag(Qt::AltModifier)
            && EntriesWithMnemonic(letter).size() > 1) {
            StepSharedMnemonic(letter);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QMenuBar::event(event);
}

void CFrameMenuBar::keyPressEvent(QKeyEvent* event)
{
    if (!m_pHighlight) {
        // Qt's own keyboard mode (after a lone Alt): a shared letter moves as it does here.
        const QChar letter = LetterOf(event);
        if (hasFocus() && EntriesWithMnemonic(letter).size() > 1) {
            StepSharedMnemonic(letter);
            event->accept();
            return;
        }
        QMenuBar::keyPressEvent(event);
        return;
    }
    event->accept();
    const int key = event->key();
    if (key == Qt::Key_Alt || key == Qt::Key_Meta) {
        m_bAltAlone = true;
        return;
    }
    m_bAltAlone = false;
    switch (key) {
    case Qt::Key_Escape:
        EndHighlight(true);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        const std::vector<QAction*> entries = VisibleEntries();
        const auto it = std::find(entries.begin(), entries.end(), m_pHighlight.data());
        if (it == entries.end()) {
            return;
        }
        // Tab follows the reading order, which is the entries' order in either direction; the
        // arrows go where they point.
        const bool forward = key == Qt::Key_Tab || (key == Qt::Key_Right && !isRightToLeft())
            || (key == Qt::Key_Left && isRightToLeft());
        const auto count = static_cast<std::ptrdiff_t>(entries.size());
        const std::ptrdiff_t index = ((it - entries.begin()) + (forward ? 1 : count - 1)) % count;
        Highlight(entries[static_cast<std::size_t>(index)]);
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Down:
    case Qt::Key_Up:
        Activate(m_pHighlight);
        return;
    default:
        break;
    }
    const std::vector<QAction*> entries = EntriesWithMnemonic(LetterOf(event));
    if (entries.size() == 1) {
        Activate(entries.front());
    } else if (entries.size() > 1) {
        StepSharedMnemonic(LetterOf(event));
    }
}

void CFrameMenuBar::inputMethodEvent(QInputMethodEvent* event)
{
    // Only while the menu bar has the keyboard, in its own highlight or Qt's keyboard mode.
    const QChar letter = CommittedLetter(event->commitString());
    if (!hasFocus() || letter.isNull()) {
        QMenuBar::inputMethodEvent(event);
        return;
    }
    // The letter acts as its key would.
    QKeyEvent press(QEvent::KeyPress, letter.unicode(), Qt::NoModifier, QString(letter));
    keyPressEvent(&press);
    event->setAccepted(press.isAccepted());
}

void CFrameMenuBar::keyReleaseEvent(QKeyEvent* event)
{
    if (m_pHighlight && (event->key() == Qt::Key_Alt || event->key() == Qt::Key_Meta)) {
        event->accept();
        // A lone Alt leaves the menu bar.
        if (m_bAltAlone) {
            EndHighlight(true);
        }
        m_bAltAlone = false;
        return;
    }
    QMenuBar::keyReleaseEvent(event);
}

void CFrameMenuBar::mousePressEvent(QMouseEvent* event)
{
    if (m_pHighlight) {
        EndHighlight(true);
    }
    QMenuBar::mousePressEvent(event);
}

void CFrameMenuBar::focusOutEvent(QFocusEvent* event)
{
    if (m_pHighlight && !m_bEnding) {
        EndHighlight(false);
    }
    QMenuBar::focusOutEvent(event);
}

void CFrameMenuBar::actionEvent(QActionEvent* event)
{
    QMenuBar::actionEvent(event);
    if (event->type() == QEvent::ActionRemoved && event->action() == m_pHighlight) {
        EndHighlight(true);
    }
}

void CFrameMenuBar::paintEvent(QPaintEvent* event)
{
    QMenuBar::paintEvent(event);
    if (!m_pHighlight) {
        return;
    }
    QStyleOptionMenuItem option;
    initStyleOption(&option, m_pHighlight);
    option.rect = actionGeometry(m_pHighlight);
    // Selected from the keyboard, not pressed: an entry looks pressed only while its popup is open.
    option.state |= QStyle::State_Selected | QStyle::State_HasFocus;
    option.state &= ~QStyle::State_Sunken;
    QPainter painter(this);
    painter.setClipRect(option.rect);
    style()->drawControl(QStyle::CE_MenuBarItem, &option, &painter, this);
    // Styles that show a menu-bar entry only when pressed still show where the keyboard is.
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    focus.rect = option.rect.adjusted(1, 1, -1, -1);
    focus.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

void CFrameMenuBar::StepSharedMnemonic(QChar letter)
{
    const std::vector<QAction*> entries = EntriesWithMnemonic(letter);
    if (entries.empty()) {
        return;
    }
    QAction* current = m_pHighlight ? m_pHighlight.data() : activeAction();
    auto it = std::find(entries.begin(), entries.end(), current);
    if (it != entries.end()) {
        ++it;
    }
    Highlight(it == entries.end() ? entries.front() : *it);
}

void CFrameMenuBar::Highlight(QAction* pAction)
{
    if (!m_pHighlight) {
        // An open popup closes, and Qt's own keyboard mode ends, giving the focus back first.
        if (QAction* active = activeAction();
            active && active->menu() && active->menu()->isVisible()) {
            active->menu()->hide();
        }
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QMenuBar::keyPressEvent(&escape);
        QWidget* focus = QApplication::focusWidget();
        m_pFocusBefore = focus != this ? focus : nullptr;
        m_bAltAlone = false;
    }
    m_pHighlight = pAction;
    setFocus(Qt::MenuBarFocusReason);
    update();
    // Announced as Qt's keyboard mode announces its entries: the menu bar's child has the focus.
    if (QAccessible::isActive()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(static_cast<int>(actions().indexOf(pAction)));
        QAccessible::updateAccessibility(&focus);
    }
    // The status bar shows the entry's prompt (blank for one without).
    pAction->showStatusText(this);
}

void CFrameMenuBar::EndHighlight(bool bRestoreFocus)
{
    if (!m_pHighlight) {
        return;
    }
    m_pHighlight = nullptr;
    update();
    if (bRestoreFocus && hasFocus()) {
        m_bEnding = true;
        if (m_pFocusBefore) {
            m_pFocusBefore->setFocus(Qt::MenuBarFocusReason);
        } else {
            clearFocus();
        }
        m_bEnding = false;
    }
    m_pFocusBefore = nullptr;
    QStatusTipEvent idle { QString() };
    QCoreApplication::sendEvent(this, &idle);
}

void CFrameMenuBar::Activate(QAction* pAction)
{
    if (pAction == nullptr) {
        return;
    }
    EndHighlight(true);
    if (QMenu* menu = pAction->menu()) {
        setActiveAction(pAction);
        // Opened from the keyboard: its first item is selected.
        for (QAction* item : menu->actions()) {
            if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
                menu->setActiveAction(item);
                break;
            }
        }
    } else {
        pAction->trigger();
    }
}

} // namespace vorn

#include "moc_framemenubar.cpp"
