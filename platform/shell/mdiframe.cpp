#include "mdiframe.h"

#include "clipboardwatcher.h"
#include "framemenubar.h"
#include "mdilayout.h"
#include "menuaccessible.h"
#include "resources.h"

#include <QAction>
#include <QApplication>
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

} // namespace

CMDIFrameWnd::CMDIFrameWnd(int nIDDocumentMenu, QWidget* parent)
    : QMainWindow(parent)
    , m_router([this] { return m_bDestroying ? std::vector<CCmdTarget*>() : GetCommandRoute(); })
    , m_nIDDocumentMenu(nIDDocumentMenu)
{
    InstallMenuItemAccessibility();
    InitCommandMap();
}

CMDIFrameWnd::~CMDIFrameWnd()
{
    // The document windows go first, while this frame can still take their last signals.
    m_bDestroying = true;
    delete m_pMdiArea;
    m_pMdiArea = nullptr;
}

QString CMDIFrameWnd::MenuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

bool CMDIFrameWnd::LoadFrame(int nIDResource)
{
    m_nIDResource = nIDResource;
    if (!OnCreate()) {
        return false;
    }
    setWindowIcon(QIcon(IconResourcePath(nIDResource)));
    resize(900, 700);
    OnUpdateFrameMenu();
    UpdateFrameTitle();
    UpdateCommandUI();
    return true;
}

QAction* CMDIFrameWnd::CreateCommandAction(int nID, const QString& strText)
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

QMenu* CMDIFrameWnd::BuildPopup(const MenuItemTemplate& popup)
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
    connect(menu, &QMenu::aboutToShow, this, &CMDIFrameWnd::UpdateCommandUI);
    connect(menu, &QMenu::aboutToHide, this, &CMDIFrameWnd::OnMenuHidden);
    return menu;
}

void CMDIFrameWnd::OnMenuHidden()
{
    QTimer::singleShot(0, this, [this] {
        if (!IsPointerOnCommand()) {
            SetIdleMessage();
        }
    });
}

bool CMDIFrameWnd::OnCreate()
{
    m_pMenuBar = new CFrameMenuBar(this);
    setMenuBar(m_pMenuBar);
    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this] {
        if (!m_bDestroying) {
            UpdateFrameTitle();
            ScheduleUpdate();
        }
    });

    for (const int menuId : { m_nIDResource, m_nIDDocumentMenu }) {
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
    for (const AcceleratorTemplate& accel : FindAcceleratorTable(m_nIDResource)) {
        QAction* action = CreateCommandAction(accel.id, CommandTooltip(accel.id));
        QList<QKeySequence> keys = action->shortcuts();
        keys.append(QKeySequence(QString::fromLatin1(accel.key), QKeySequence::PortableText));
        action->setShortcuts(keys);
    }
    CreateCommandAction(ID_VIEW_TOOLBAR, CommandTooltip(ID_VIEW_TOOLBAR))->setCheckable(true);
    CreateCommandAction(ID_VIEW_STATUS_BAR, CommandTooltip(ID_VIEW_STATUS_BAR))->setCheckable(true);

    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("m_wndToolBar"));
    m_wndToolBar->setWindowTitle(CommandTooltip(ID_VIEW_TOOLBAR));
    m_wndToolBar->setIconSize(QSize(16, 16));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (const int id : FindToolBar(m_nIDResource)) {
        if (id == ID_SEPARATOR) {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction* action = CreateCommandAction(id, CommandTooltip(id));
        action->setIcon(QIcon(ToolBarButtonImagePath(id)));
        m_wndToolBar->addAction(action);
        // Read by its tooltip, as a button without text is known on screen.
        m_wndToolBar->widgetForAction(action)->setAccessibleName(action->toolTip());
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    // A floating toolbar is a window of its own: its prompts are taken here (see eventFilter).
    m_wndToolBar->installEventFilter(this);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("m_wndStatusBar"));
    m_pMessagePane = new QLabel(bar);
    m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_pMessagePane, 1);
    SetIdleMessage();

    // Paste follows what the clipboard holds.
    connect(CClipboardWatcher::Instance(), &CClipboardWatcher::hasTextChanged, this,
        &CMDIFrameWnd::ScheduleUpdate);

    return true;
}

void CMDIFrameWnd::SetIndicators(std::initializer_list<int> ids)
{
    QStatusBar* bar = statusBar();
    for (const int id : ids) {
        auto* pane = new QLabel(bar);
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(LoadStringResource(id)) + 12);
        bar->addPermanentWidget(pane);
        m_indicators[id] = pane;
    }
}

void CMDIFrameWnd::InitCommandMap()
{
    OnCommand(
        ID_VIEW_TOOLBAR, [this] { m_wndToolBar->setVisible(m_wndToolBar->isHidden()); },
        [this](CCmdUI& ui) { ui.SetCheck(m_wndToolBar && !m_wndToolBar->isHidden()); });
    OnCommand(
        ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(statusBar()->isHidden()); },
        [this](CCmdUI& ui) { ui.SetCheck(!statusBar()->isHidden()); });
    const auto needWindow = [this](CCmdUI& ui) { ui.Enable(MDIGetActive() != nullptr); };
    OnCommand(
        ID_WINDOW_NEW, [this] { OnWindowNew(); }, needWindow);
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

void CMDIFrameWnd::AddMDIChild(CMDIChildWnd* pFrame)
{
    m_pMdiArea->addSubWindow(pFrame);
    connect(pFrame, &CMDIChildWnd::frameClosed, this, [this] {
        ScheduleUpdate();
        QTimer::singleShot(0, this, &CMDIFrameWnd::UpdateFrameTitle);
    });
    // The system menu is a popup of its own: its prompts are taken here (see eventFilter).
    if (QMenu* systemMenu = pFrame->systemMenu()) {
        systemMenu->installEventFilter(this);
        connect(systemMenu, &QMenu::aboutToHide, this, &CMDIFrameWnd::OnMenuHidden);
    }
    connect(
        pFrame, &CMDIChildWnd::windowListRequested, this, [this] { SendCommand(kMoreWindowsId); });
    // New windows take three quarters of the area (of the frame's first size before it is shown).
    const QSize area = m_pMdiArea->isVisible() ? m_pMdiArea->viewport()->size() : QSize(880, 560);
    pFrame->resize(area * 3 / 4);
    const CascadePlace place = CascadePosition(
        area, pFrame->size(), style()->pixelMetric(QStyle::PM_TitleBarHeight), m_nCascade);
    m_nCascade = place.nNext;
    pFrame->move(place.pos);
    pFrame->show();
    m_pMdiArea->setActiveSubWindow(pFrame);
    if (QWidget* view = pFrame->widget()) {
        view->setFocus();
    }
    OnUpdateFrameMenu();
    UpdateFrameTitle();
    ScheduleUpdate();
}

void CMDIFrameWnd::MDIActivate(CMDIChildWnd* pFrame)
{
    m_pMdiArea->setActiveSubWindow(pFrame);
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const
{
    if (m_bDestroying || m_pMdiArea == nullptr) {
        return nullptr;
    }
    auto* active = qobject_cast<CMDIChildWnd*>(m_pMdiArea->activeSubWindow());
    if (active == nullptr) {
        // Without keyboard focus on this window the area reports no active window: take the top one.
        const QList<QMdiSubWindow*> windows = m_pMdiArea->subWindowList(QMdiArea::StackingOrder);
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            if (auto* frame = qobject_cast<CMDIChildWnd*>(*it);
                frame && frame->GetActiveDocument()) {
                return frame;
            }
        }
        return nullptr;
    }
    return active->GetActiveDocument() ? active : nullptr;
}

QAction* CMDIFrameWnd::CommandAction(int nID) const
{
    const auto it = m_actions.find(nID);
    return it == m_actions.end() ? nullptr : it->second;
}

QLabel* CMDIFrameWnd::IndicatorPane(int nID) const
{
    const auto it = m_indicators.find(nID);
    return it == m_indicators.end() ? nullptr : it->second;
}

bool CMDIFrameWnd::SendCommand(int nID)
{
    const bool ran = m_router.Execute(nID);
    ScheduleUpdate();
    return ran;
}

void CMDIFrameWnd::ScheduleUpdate()
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

void CMDIFrameWnd::UpdateCommandUI()
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

void CMDIFrameWnd::OnUpdateFrameMenu()
{
    const int menuId = MDIGetActive() != nullptr ? m_nIDDocumentMenu : m_nIDResource;
    if (menuId == m_nCurrentMenu) {
        return;
    }
    m_nCurrentMenu = menuId;
    QMenuBar* bar = menuBar();
    bar->clear();
    bar->addActions(QList<QAction*>(m_menuBars[menuId].begin(), m_menuBars[menuId].end()));
}

void CMDIFrameWnd::UpdateFrameTitle()
{
    if (!m_bDestroying) {
        OnUpdateFrameTitle();
    }
}

void CMDIFrameWnd::RebuildWindowList(QMenu* pMenu)
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

void CMDIFrameWnd::ShowWindowSelection()
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

void CMDIFrameWnd::TileHorizontally()
{
    // Minimized windows keep their icons along the bottom; the others share the space above,
    // the topmost window first, none of them maximized.
    const QList<QMdiSubWindow*> stacking = m_pMdiArea->subWindowList(QMdiArea::StackingOrder);
    QList<QMdiSubWindow*> windows;
    std::vector<MdiWindowBox> boxes;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        QMdiSubWindow* window = *it;
        if (window->isMaximized() && !window->isMinimized()) {
            window->showNormal();
        }
        windows.append(window);
        boxes.push_back(
            { window->geometry(), window->minimumSizeHint().height(), window->isMinimized() });
    }
    const std::vector<QRect> rects = TileLayout(m_pMdiArea->viewport()->size(), boxes);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (!boxes[i].bMinimized) {
            windows[static_cast<qsizetype>(i)]->setGeometry(rects[i]);
        }
    }
}

void CMDIFrameWnd::ArrangeIcons()
{
    const QList<QMdiSubWindow*> windows = m_pMdiArea->subWindowList();
    std::vector<MdiWindowBox> boxes;
    for (QMdiSubWindow* window : windows) {
        boxes.push_back({ window->geometry(), 1, window->isMinimized() });
    }
    const std::vector<QRect> rects = ArrangeIconsLayout(m_pMdiArea->viewport()->size(), boxes);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (boxes[i].bMinimized) {
            windows[static_cast<qsizetype>(i)]->move(rects[i].topLeft());
        }
    }
}

void CMDIFrameWnd::SetMessageText(const QString& strText)
{
    if (m_pMessagePane) {
        m_pMessagePane->setText(strText);
    }
}

void CMDIFrameWnd::SetIdleMessage()
{
    SetMessageText(LoadStringResource(AFX_IDS_IDLEMESSAGE));
}

void CMDIFrameWnd::OnStatusTip(const QString& strTip)
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

bool CMDIFrameWnd::IsPointerOnCommand() const
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

bool CMDIFrameWnd::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        OnStatusTip(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool CMDIFrameWnd::eventFilter(QObject* watched, QEvent* event)
{
    // Installed on the toolbar and on the document windows' system menus, whose prompts stop
    // at their own window (a floating toolbar, a popup) before they could reach this one.
    if (event->type() == QEvent::StatusTip && !m_bDestroying) {
        OnStatusTip(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMDIFrameWnd::changeEvent(QEvent* event)
{
    // A maximized document window adds its title to the caption; the caption stays the frame's.
    if (event->type() == QEvent::WindowTitleChange) {
        UpdateFrameTitle();
    }
    QMainWindow::changeEvent(event);
}

} // namespace vorn

#include "moc_mdiframe.cpp"
