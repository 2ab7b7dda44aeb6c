#include "mainframe.h"

#include "childframe.h"
#include "resources.h"
#include "shellkeystate.h"
#include "vornapp.h"
#include "vorndoc.h"
#include "vornview.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QStatusBar>

namespace vorn {

CMainFrame::CMainFrame(CVornApp* pApp)
    : CMDIFrameWnd(IDR_VornTYPE)
    , m_pApp(pApp)
{
    setWindowTitle(LoadStringResource(IDR_MAINFRAME));
}

std::vector<CCmdTarget*> CMainFrame::GetCommandRoute()
{
    std::vector<CCmdTarget*> route;
    if (auto* frame = qobject_cast<CChildFrame*>(MDIGetActive())) {
        CVornView* view = frame->GetActiveView();
        route.push_back(view);
        if (view) {
            route.push_back(view->GetDocument());
        }
        route.push_back(frame);
    }
    route.push_back(this);
    route.push_back(m_pApp);
    return route;
}

bool CMainFrame::OnCreate()
{
    if (!CMDIFrameWnd::OnCreate()) {
        return false;
    }
    SetIndicators({ ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL });
    connect(m_pApp, &CVornApp::recentFilesChanged, this, &CMainFrame::UpdateRecentFileMenu);
    UpdateRecentFileMenu();

    // The panes change when the X server reports a lock key, never by polling.
    m_pLockKeys = new CLockKeyWatcher(this);
    connect(m_pLockKeys, &CLockKeyWatcher::lockKeysChanged, this, &CMainFrame::UpdateIndicators,
        Qt::QueuedConnection);
    UpdateIndicators();
    return true;
}

void CMainFrame::OnWindowNew()
{
    if (CVornDoc* doc = GetActiveDocument()) {
        m_pApp->CreateNewFrame(doc);
    }
}

void CMainFrame::AddFrame(CChildFrame* pFrame)
{
    CVornView* view = pFrame->GetActiveView();
    connect(view, &QPlainTextEdit::copyAvailable, this, &CMainFrame::ScheduleUpdate);
    connect(view, &QPlainTextEdit::undoAvailable, this, &CMainFrame::ScheduleUpdate);
    connect(view, &QPlainTextEdit::textChanged, this, &CMainFrame::ScheduleUpdate);
    connect(view, &CVornView::statusMessage, this, &CMainFrame::SetMessageText);
    if (CVornDoc* doc = CVornDoc::FromView(view)) {
        connect(doc, &CVornDoc::titleChanged, this, &CMainFrame::UpdateFrameTitle,
            Qt::UniqueConnection);
    }
    AddMDIChild(pFrame);
}

CVornView* CMainFrame::GetActiveView() const
{
    auto* frame = qobject_cast<CChildFrame*>(MDIGetActive());
    return frame ? frame->GetActiveView() : nullptr;
}

CVornDoc* CMainFrame::GetActiveDocument() const
{
    CVornView* view = GetActiveView();
    return CVornDoc::FromView(view);
}

void CMainFrame::OnUpdateFrameTitle()
{
    // The document's title, not the window's: its second window "Vorn1:2" shows "Vorn - Vorn1".
    const QString appTitle = LoadStringResource(IDR_MAINFRAME);
    const CVornDoc* doc = GetActiveDocument();
    const QString title = doc ? QStringLiteral("%1 - %2").arg(appTitle, doc->GetTitle()) : appTitle;
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

void CMainFrame::UpdateRecentFileMenu()
{
    const QStringList files = m_pApp->RecentFiles();
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        QAction* action = CommandAction(ID_FILE_MRU_FILE1 + i);
        if (i < files.size()) {
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
                MenuText(QDir::toNativeSeparators(files[i]))));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(LoadStringResource(IDS_RECENT_FILE_PLACEHOLDER));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    ScheduleUpdate();
}

void CMainFrame::UpdateIndicators()
{
    const LockKeyState state = ReadLockKeyState();
    const std::pair<int, bool> panes[] = {
        { ID_INDICATOR_CAPS, state.capsLock },
        { ID_INDICATOR_NUM, state.numLock },
        { ID_INDICATOR_SCRL, state.scrollLock },
    };
    for (const auto& [id, on] : panes) {
        if (QLabel* pane = IndicatorPane(id)) {
            pane->setText(on ? LoadStringResource(id) : QString());
        }
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_pApp->SaveAllModified()) {
        event->ignore();
        return;
    }
    m_pApp->CloseAllDocuments();
    event->accept();
}

} // namespace vorn

#include "moc_mainframe.cpp"
