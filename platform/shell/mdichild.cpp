#include "mdichild.h"

#include "resources.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>

namespace vorn {

CMDIChildWnd::CMDIChildWnd(QWidget* pView, QWidget* parent)
    : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(pView);
    InitSystemMenu();
}

void CMDIChildWnd::InitSystemMenu()
{
    QMenu* menu = systemMenu();
    if (menu == nullptr) {
        return;
    }
    // Qt's items, in its order: restore, move, size, minimize, maximize, stay on top, close.
    // Staying on top is no item of a document window here.
    const int prompts[] = { AFX_IDS_SCRESTORE, AFX_IDS_SCMOVE, AFX_IDS_SCSIZE, AFX_IDS_SCMINIMIZE,
        AFX_IDS_SCMAXIMIZE, 0, AFX_IDS_SCCLOSE };
    std::size_t index = 0;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || index >= std::size(prompts)) {
            continue;
        }
        const int prompt = prompts[index++];
        if (prompt == 0) {
            // Qt shows its items again on every change of state: this one leaves the menu.
            menu->removeAction(action);
        } else {
            action->setStatusTip(LoadStringResource(prompt));
        }
    }
    menu->addSeparator();
    const auto addItem = [menu](int nText, int nPrompt) {
        // Parented to the menu like Qt's items, so that their prompts reach the same place.
        auto* action = new QAction(LoadStringResource(nText), menu);
        action->setStatusTip(LoadStringResource(nPrompt));
        menu->addAction(action);
        return action;
    };
    connect(
        addItem(IDS_SC_NEXTWINDOW_ITEM, AFX_IDS_SCNEXTWINDOW), &QAction::triggered, this, [this] {
            if (QMdiArea* area = mdiArea()) {
                area->setActiveSubWindow(this);
                area->activateNextSubWindow();
            }
        });
    connect(
        addItem(IDS_SC_PREVWINDOW_ITEM, AFX_IDS_SCPREVWINDOW), &QAction::triggered, this, [this] {
            if (QMdiArea* area = mdiArea()) {
                area->setActiveSubWindow(this);
                area->activatePreviousSubWindow();
            }
        });
    connect(addItem(IDS_SC_TASKLIST_ITEM, AFX_IDS_SCTASKLIST), &QAction::triggered, this,
        &CMDIChildWnd::windowListRequested);
}

void CMDIChildWnd::CloseWithoutPrompt()
{
    m_bNoPrompt = true;
    close();
}

bool CMDIChildWnd::eventFilter(QObject* object, QEvent* event)
{
    // While maximized, Qt would append this window's title to the main frame's caption again
    // whenever the caption changes; the main frame keeps its caption itself.
    if (event->type() == QEvent::WindowTitleChange && object != widget() && object == window()) {
        return false;
    }
    return QMdiSubWindow::eventFilter(object, event);
}

void CMDIChildWnd::closeEvent(QCloseEvent* event)
{
    if (m_bClosed) {
        event->accept();
        return;
    }
    if (!m_bNoPrompt && !CanCloseFrame()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    m_bClosed = true;
    OnFrameClosed();
    emit frameClosed(this);
}

} // namespace vorn

#include "moc_mdichild.cpp"
