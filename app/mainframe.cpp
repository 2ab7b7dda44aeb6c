#include "mainframe.h"

#include "childframe.h"
#include "framemenubar.h"
#include "resources.h"
#include "shellkeystate.h"
#include "vornapp.h"
#include "vorndoc.h"
#include "vornview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace vorn {

namespace {

constexpr int kMaxWindowListEntries = 9;
// The Window popup's item after the ninth window, which opens the list of all windows.
constexpr int kMoreWindowsId = AFX_IDM_FIRST_MDICHILD + kMaxWindowListEntries;

// A file name or title as a menu shows it: an ampersand is itself, not a mnemonic mark.
QString MenuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

CMainFrame::CMainFrame(CVornApp* pApp)
    : m_pApp(pApp)
    , m_router([this] {
        std::vector<CCmdTarget*> route;
        if (m_bDestroying) {
            return route;
        }
        if (CChildFrame* frame = MDIGetActive()) {
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
    })
{
    setWindowTitle(LoadStringResource(IDR_MAINFRAME));
    InitCommandMap();
}

CMainFrame::~CMainFrame()
{
    // The document windows go first, while this frame can still take their last signals.
    m_bDestroying = true;
    delete m_pMdiArea;
    m_pMdiArea = nullptr;
}

bool CMainFrame::LoadFrame(int nID)
{
    if (nID != IDR_MAINFRAME || !OnCreate()) {
        return false;
    }
    setWindowIcon(QIcon(IconResourcePath(IDR_MAINFRAME)));
    resize(900, 700);
    OnUpdateFrameMenu();
    OnUpdateFrameTitle();
    UpdateCommandUI();
    return true;
}

QAction* CMainFrame::CreateCommandAction(int nID, const QString& strText)
{
    if (QAction* existing = CommandAction(nID)) {
        return existing;
    }
    auto* action = new QAction(strText, this);
    action->setData(nID);
    action->setStatusTip(CommandPrompt(nID));
    action->setToolTip(CommandTooltip(nID).isEmpty() ? strText : CommandTooltip(nID));
    connect(action, &QAction::triggered, this, [this, nID] { SendCommand(nID); });
    if (CommandPrompt(nID).isEmpty()) {
        // Commands without a prompt blank the message pane while they are highlighted.
        connect(action, &QAction::hovered, this, [this] { SetMessageText(QString()); });
    }
    m_actions[nID] = action;
    addAction(action); // accelerators work whichever menu is shown
    return action;
}

QMenu* CMainFrame::BuildPopup(const MenuItemTemplate& popup)
{
    auto* menu = new QMenu(popup.text, this);
    bool windowMenu = false;
    for (const MenuItemTemplate& item : popup.items) {
        switch (item.kind) {
        case MenuItemTemplate::Separator:
            menu->addSeparator();
            break;
        case MenuItemTemplate::Popup:
            menu->addMenu(BuildPopup(item));
            break;
        case MenuItemTemplate::Command:
            if (item.id == ID_FILE_MRU_FILE1) {
                // The placeholder of the recent-file list, followed by its other entries.
                for (int i = 0; i < kMaxRecentFiles; ++i) {
                    menu->addAction(CreateCommandAction(ID_FILE_MRU_FILE1 + i, item.text));
                }
            } else {
                menu->addAction(CreateCommandAction(item.id, item.text));
            }
            windowMenu = windowMenu || item.id == ID_WINDOW_NEW;
            break;
        }
    }
    if (windowMenu) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { RebuildWindowList(menu); });
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    connect(menu, &QMenu::aboutToHide, this, &CMainFrame::OnMenuHidden);
    return menu;
}

void CMainFrame::OnMenuHidden()
{
    QTimer::singleShot(0, this, [this] {
        if (!IsPointerOnCommand()) {
            SetIdleMessage();
        }
    });
}

bool CMainFrame::OnCreate()
{
    m_pMenuBar = new CFrameMenuBar(this);
    setMenuBar(m_pMenuBar);
    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this] {
        if (!m_bDestroying) {
            OnUpdateFrameTitle();
            ScheduleUpdate();
        }
    });

    for (const int menuId : { IDR_MAINFRAME, IDR_VornTYPE }) {
        const std::vector<MenuItemTemplate>* menu = FindMenuTemplate(menuId);
        if (menu == nullptr) {
            return false;
        }
        std::vector<QAction*>& entries = m_menuBars[menuId];
        for (const MenuItemTemplate& item : *menu) {
            if (item.kind == MenuItemTemplate::Popup) {
                entries.push_back(BuildPopup(item)->menuAction());
            } else if (item.kind == MenuItemTemplate::Command) {
                entries.push_back(CreateCommandAction(item.id, item.text));
            }
        }
    }
    for (const AcceleratorTemplate& accel : FindAcceleratorTable(IDR_MAINFRAME)) {
        QAction* action = CreateCommandAction(accel.id, CommandTooltip(accel.id));
        QList<QKeySequence> keys = action->shortcuts();
        keys.append(QKeySequence(QString::fromLatin1(accel.key), QKeySequence::PortableText));
        action->setShortcuts(keys);
    }
    m_actions[ID_VIEW_TOOLBAR]->setCheckable(true);
    m_actions[ID_VIEW_STATUS_BAR]->setCheckable(true);

    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("m_wndToolBar"));
    m_wndToolBar->setWindowTitle(CommandTooltip(ID_VIEW_TOOLBAR));
    m_wndToolBar->setIconSize(QSize(16, 16));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (const int id : FindToolBar(IDR_MAINFRAME)) {
        if (id == ID_SEPARATOR) {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction* action
            = m_actions.count(id) ? m_actions[id] : CreateCommandAction(id, CommandTooltip(id));
        action->setIcon(QIcon(ToolBarButtonImagePath(id)));
        m_wndToolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    // A floating toolbar is a window of its own: its prompts are taken here (see eventFilter).
    m_wndToolBar->installEventFilter(this);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("m_wndStatusBar"));
    m_pMessagePane = new QLabel(bar);
    m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_pMessagePane, 1);
    for (const int id : { ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL }) {
        auto* pane = new QLabel(bar);
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(LoadStringResource(id)) + 12);
        bar->addPermanentWidget(pane);
        m_indicators[id] = pane;
    }
    SetIdleMessage();

    connect(m_pApp, &CVornApp::recentFilesChanged, this, &CMainFrame::UpdateRecentFileMenu);
    UpdateRecentFileMenu();
    connect(
        QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::ScheduleUpdate);

    // The panes change when the X server reports a lock key, never by polling.
    m_pLockKeys = new CLockKeyWatcher(this);
    connect(m_pLockKeys, &CLockKeyWatcher::lockKeysChanged, this, &CMainFrame::UpdateIndicators,
        Qt::QueuedConnection);
    UpdateIndicators();
    return true;
}

void CMainFrame::InitCommandMap()
{
    OnCommand(
        ID_VIEW_TOOLBAR, [this] { m_wndToolBar->setVisible(m_wndToolBar->isHidden()); },
        [this](CCmdUI& ui) { ui.SetCheck(m_wndToolBar && !m_wndToolBar->isHidden()); });
    OnCommand(
        ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(statusBar()->isHidden()); },
        [this](CCmdUI& ui) { ui.SetCheck(!statusBar()->isHidden()); });
    const auto needWindow = [this](CCmdUI& ui) { ui.Enable(MDIGetActive() != nullptr); };
    OnCommand(
        ID_WINDOW_NEW,
        [this] {
            if (CVornDoc* doc = GetActiveDocument()) {
                m_pApp->CreateNewFrame(doc);
            }
        },
        needWindow);
    OnCommand(
        ID_WINDOW_CASCADE, [this] { m_pMdiArea->cascadeSubWindows(); }, needWindow);
    OnCommand(
        ID_WINDOW_TILE_HORZ, [this] { TileHorizontally(); }, needWindow);
    OnCommand(
        ID_WINDOW_ARRANGE, [this] { ArrangeIcons(); }, needWindow);
    OnCommandRange(AFX_IDM_FIRST_MDICHILD, AFX_IDM_FIRST_MDICHILD + kMaxWindowListEntries - 1,
        [this](int nID) {
            const auto index = static_cast<std::size_t>(nID - AFX_IDM_FIRST_MDICHILD);
            if (index < m_windowListFrames.size() && m_windowListFrames[index]) {
                m_pMdiArea->setActiveSubWindow(m_windowListFrames[index]);
            }
        });
    OnCommand(
        kMoreWindowsId, [this] { ShowWindowSelection(); }, needWindow);
}

void CMainFrame::AddFrame(CChildFrame* pFrame)
{
    m_pMdiArea->addSubWindow(pFrame);
    CVornView* view = pFrame->GetActiveView();
    connect(view, &QPlainTextEdit::copyAvailable, this, &CMainFrame::ScheduleUpdate);
    connect(view, &QPlainTextEdit::undoAvailable, this, &CMainFrame::ScheduleUpdate);
    connect(view, &QPlainTextEdit::textChanged, this, &CMainFrame::ScheduleUpdate);
    connect(view, &CVornView::statusMessage, this, &CMainFrame::SetMessageText);
    connect(pFrame, &CChildFrame::frameClosed, this, [this] {
        ScheduleUpdate();
        QTimer::singleShot(0, this, &CMainFrame::OnUpdateFrameTitle);
    });
    if (CVornDoc* doc = CVornDoc::FromView(view)) {
        connect(doc, &CVornDoc::titleChanged, this, &CMainFrame::OnUpdateFrameTitle,
            Qt::UniqueConnection);
    }
    // The system menu is a popup of its own: its prompts are taken here (see eventFilter).
    if (QMenu* systemMenu = pFrame->systemMenu()) {
        systemMenu->installEventFilter(this);
        connect(systemMenu, &QMenu::aboutToHide, this, &CMainFrame::OnMenuHidden);
    }
    connect(
        pFrame, &CChildFrame::windowListRequested, this, [this] { SendCommand(kMoreWindowsId); });
    // New windows take three quarters of the area (of the frame's first size before it is shown).
    const QSize area = m_pMdiArea->isVisible() ? m_pMdiArea->viewport()->size() : QSize(880, 560);
    pFrame->resize(area * 3 / 4);
    pFrame->move(NextFramePosition(pFrame->size()));
    pFrame->show();
    m_pMdiArea->setActiveSubWindow(pFrame);
    view->setFocus();
    OnUpdateFrameMenu();
    OnUpdateFrameTitle();
    ScheduleUpdate();
}

void CMainFrame::MDIActivate(CChildFrame* pFrame)
{
    m_pMdiArea->setActiveSubWindow(pFrame);
}

CChildFrame* CMainFrame::MDIGetActive() const
{
    if (m_bDestroying || m_pMdiArea == nullptr) {
        return nullptr;
    }
    auto* active = qobject_cast<CChildFrame*>(m_pMdiArea->activeSubWindow());
    if (active == nullptr) {
        // Without keyboard focus on this window the area reports no active window: take the top one.
        const QList<QMdiSubWindow*> windows = m_pMdiArea->subWindowList(QMdiArea::StackingOrder);
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            if (auto* frame = qobject_cast<CChildFrame*>(*it);
                frame && frame->GetActiveView()->GetDocument()) {
                return frame;
            }
        }
        return nullptr;
    }
    return active->GetActiveView()->GetDocument() ? active : nullptr;
}

CVornView* CMainFrame::GetActiveView() const
{
    CChildFrame* frame = MDIGetActive();
    return frame ? frame->GetActiveView() : nullptr;
}

CVornDoc* CMainFrame::GetActiveDocument() const
{
    CVornView* view = GetActiveView();
    return CVornDoc::FromView(view);
}

QAction* CMainFrame::CommandAction(int nID) const
{
    const auto it = m_actions.find(nID);
    return it == m_actions.end() ? nullptr : it->second;
}

QLabel* CMainFrame::IndicatorPane(int nID) const
{
    const auto it = m_indicators.find(nID);
    return it == m_indicators.end() ? nullptr : it->second;
}

bool CMainFrame::SendCommand(int nID)
{
    const bool ran = m_router.Execute(nID);
    ScheduleUpdate();
    return ran;
}

void CMainFrame::ScheduleUpdate()
{
    if (m_bUpdatePending || m_bDestroying) {
        return;
    }
    m_bUpdatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_bUpdatePending = false;
        UpdateCommandUI();
    });
}

void CMainFrame::UpdateCommandUI()
{
    if (m_bDestroying) {
        return;
    }
    OnUpdateFrameMenu();
    for (const auto& [id, action] : m_actions) {
        const CCmdUI state = m_router.Query(id);
        action->setEnabled(state.m_bEnabled);
        if (state.m_bCheckable) {
            action->setChecked(state.m_bChecked);
        }
    }
}

void CMainFrame::OnUpdateFrameMenu()
{
    const int menuId = MDIGetActive() != nullptr ? IDR_VornTYPE : IDR_MAINFRAME;
    if (menuId == m_nCurrentMenu) {
        return;
    }
    m_nCurrentMenu = menuId;
    QMenuBar* bar = menuBar();
    bar->clear();
    bar->addActions(QList<QAction*>(m_menuBars[menuId].begin(), m_menuBars[menuId].end()));
}

void CMainFrame::OnUpdateFrameTitle()
{
    if (m_bDestroying) {
        return;
    }
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
        QAction* action = m_actions[ID_FILE_MRU_FILE1 + i];
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

void CMainFrame::RebuildWindowList(QMenu* pMenu)
{
    for (QAction* action : m_windowListActions) {
        pMenu->removeAction(action);
        action->deleteLater();
    }
    m_windowListActions.clear();
    m_windowListFrames.clear();
    const QList<QMdiSubWindow*> windows = m_pMdiArea->subWindowList();
    if (windows.isEmpty()) {
        return;
    }
    m_windowListActions.push_back(pMenu->addSeparator());
    QMdiSubWindow* active = MDIGetActive();
    // The first nine windows in the order they were opened; the active one is always listed, in
    // the ninth place when it comes later.
    QList<QMdiSubWindow*> listed = windows.mid(0, kMaxWindowListEntries);
    if (active != nullptr && !listed.contains(active)) {
        listed.back() = active;
    }
    for (int i = 0; i < listed.size(); ++i) {
        const int id = AFX_IDM_FIRST_MDICHILD + i;
        auto* action = pMenu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(MenuText(listed[i]->windowTitle())));
        action->setData(id);
        action->setCheckable(true);
        action->setChecked(listed[i] == active);
        action->setStatusTip(CommandPrompt(AFX_IDS_MDICHILD));
        connect(action, &QAction::triggered, this, [this, id] { SendCommand(id); });
        m_windowListActions.push_back(action);
        m_windowListFrames.emplace_back(listed[i]);
    }
    if (windows.size() > kMaxWindowListEntries) {
        auto* more = pMenu->addAction(LoadStringResource(IDS_MORE_WINDOWS));
        more->setData(kMoreWindowsId);
        connect(more, &QAction::triggered, this, [this] { SendCommand(kMoreWindowsId); });
        m_windowListActions.push_back(more);
    }
}

void CMainFrame::ShowWindowSelection()
{
    std::vector<QPointer<QMdiSubWindow>> windows;
    QStringList titles;
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList()) {
        windows.emplace_back(window);
        titles.append(window->windowTitle());
    }
    if (windows.empty()) {
        return;
    }
    QInputDialog dialog(this);
    dialog.setWindowTitle(LoadStringResource(IDS_SELECT_WINDOW_CAPTION));
    dialog.setLabelText(LoadStringResource(IDS_SELECT_WINDOW_PROMPT));
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setComboBoxEditable(false);
    dialog.setComboBoxItems(titles);
    // Titles may repeat (files of one name from two folders): the rows of the list decide.
    auto* list = dialog.findChild<QListView*>();
    const auto active = std::find(windows.begin(), windows.end(), MDIGetActive());
    if (list != nullptr && active != windows.end()) {
        list->setCurrentIndex(list->model()->index(static_cast<int>(active - windows.begin()), 0));
    }
    if (dialog.exec() != QDialog::Accepted || list == nullptr) {
        return;
    }
    const int row = list->currentIndex().row();
    if (row >= 0 && static_cast<std::size_t>(row) < windows.size() && windows[row]) {
        m_pMdiArea->setActiveSubWindow(windows[row]);
    }
}

QPoint CMainFrame::NextFramePosition(QSize size)
{
    const QSize area = m_pMdiArea->isVisible() ? m_pMdiArea->viewport()->size() : QSize(880, 560);
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    QPoint position(m_nCascade * step, m_nCascade * step);
    if (position.x() + size.width() > area.width()
        || position.y() + size.height() > area.height()) {
        m_nCascade = 0;
        position = QPoint(0, 0);
    }
    ++m_nCascade;
    return position;
}

void CMainFrame::TileHorizontally()
{
    // Minimized windows keep their icons along the bottom; the others share the space above,
    // the topmost window first.
    const QList<QMdiSubWindow*> stacking = m_pMdiArea->subWindowList(QMdiArea::StackingOrder);
    QList<QMdiSubWindow*> windows;
    int iconRow = 0;
    int minHeight = 1;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        QMdiSubWindow* window = *it;
        if (window->isMinimized()) {
            iconRow = std::max(iconRow, window->height());
            continue;
        }
        if (window->isMaximized()) {
            window->showNormal();
        }
        minHeight = std::max(minHeight, window->minimumSizeHint().height());
        windows.append(window);
    }
    const int count = static_cast<int>(windows.size());
    if (count == 0) {
        return;
    }
    const QSize area = m_pMdiArea->viewport()->size();
    const int height = std::max(area.height() - iconRow, minHeight);
    // As many rows as fit; the rest in further columns.
    const int rowsThatFit = std::max(1, height / minHeight);
    const int columns = (count + rowsThatFit - 1) / rowsThatFit;
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        const int column = i / rows;
        const int row = i % rows;
        const int rowsHere = std::min(rows, count - column * rows);
        const int left = area.width() * column / columns;
        const int right = area.width() * (column + 1) / columns;
        const int top = height * row / rowsHere;
        const int bottom = height * (row + 1) / rowsHere;
        windows[i]->setGeometry(left, top, right - left, bottom - top);
    }
}

void CMainFrame::ArrangeIcons()
{
    // Minimized windows line up along the bottom edge of the area, left to right.
    int x = 0;
    for (QMdiSubWindow* window : m_pMdiArea->subWindowList()) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        window->move(x, m_pMdiArea->viewport()->height() - size.height());
        x += size.width();
    }
}

void CMainFrame::SetMessageText(const QString& strText)
{
    if (m_pMessagePane) {
        m_pMessagePane->setText(strText);
    }
}

void CMainFrame::SetIdleMessage()
{
    SetMessageText(LoadStringResource(AFX_IDS_IDLEMESSAGE));
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

void CMainFrame::OnStatusTip(const QString& strTip)
{
    // The prompt of the command under the pointer, blank for one without a prompt, and the idle
    // text otherwise.
    if (!strTip.isEmpty()) {
        SetMessageText(strTip);
    } else if (IsPointerOnCommand()) {
        SetMessageText(QString());
    } else {
        SetIdleMessage();
    }
}

bool CMainFrame::IsPointerOnCommand() const
{
    if (m_pMenuBar != nullptr && m_pMenuBar->HighlightedAction() != nullptr) {
        return true;
    }
    if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        if (QAction* action = popup->activeAction(); action && !action->isSeparator()) {
            return true;
        }
    }
    return menuWidget() && menuBar()->activeAction() != nullptr;
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        OnStatusTip(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Installed on the toolbar and on the document windows' system menus, whose prompts stop
    // at their own window (a floating toolbar, a popup) before they could reach this one.
    if (event->type() == QEvent::StatusTip && !m_bDestroying) {
        OnStatusTip(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent* event)
{
    // A maximized document window adds its title to the caption; the caption stays ours.
    if (event->type() == QEvent::WindowTitleChange) {
        OnUpdateFrameTitle();
    }
    QMainWindow::changeEvent(event);
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
