#pragma once

#include "cmdtarget.h"
#include "resources.h"

#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>

#include <map>
#include <vector>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace vorn {

class CChildFrame;
class CLockKeyWatcher;
class CFrameMenuBar;
class CVornApp;
class CVornDoc;
class CVornView;

// The main window: the document windows in an MDI area, menu 130 while a document window is open
// and menu 128 otherwise, the accelerators, the dockable toolbar and the status bar with its
// message pane and lock indicators. Every command goes along the route active view, its
// document, its frame, this frame, the application. The caption is the application title and
// the active document's title. Runs on the UI thread.
class CMainFrame : public QMainWindow, public CCmdTarget
{
    Q_OBJECT

public:
    explicit CMainFrame(CVornApp* pApp);
    ~CMainFrame() override;

    // Builds menus, accelerators, toolbar and status bar from resource nID.
    bool LoadFrame(int nID);

    void AddFrame(CChildFrame* pFrame);
    void MDIActivate(CChildFrame* pFrame);
    [[nodiscard]] CChildFrame* MDIGetActive() const;
    [[nodiscard]] CVornView* GetActiveView() const;
    [[nodiscard]] CVornDoc* GetActiveDocument() const;
    [[nodiscard]] QMdiArea* MdiArea() const { return m_pMdiArea; }

    // The action that carries a command id (menus, toolbar and accelerators share it).
    [[nodiscard]] QAction* CommandAction(int nID) const;
    [[nodiscard]] QToolBar* ToolBar() const { return m_wndToolBar; }
    [[nodiscard]] CFrameMenuBar* MenuBar() const { return m_pMenuBar; }
    [[nodiscard]] QLabel* MessagePane() const { return m_pMessagePane; }
    [[nodiscard]] QLabel* IndicatorPane(int nID) const;
    // The menu resource shown now: 128 or 130.
    [[nodiscard]] int CurrentMenuId() const { return m_nCurrentMenu; }

    // Runs a command along the route; false when nothing enabled handled it.
    bool SendCommand(int nID);
    // Recomputes the menu and the enabled and checked states of every command.
    void UpdateCommandUI();
    // The same, once control returns to the event loop.
    void ScheduleUpdate();
    // Shows a text in the message pane; "レディ" when idle.
    void SetMessageText(const QString& strText);
    void SetIdleMessage();
    // Reads the lock keys and shows or blanks CAP, NUM, SCRL; runs when the X server reports a
    // change.
    void UpdateIndicators();

    // Window > Tile: the document windows one above the other, each as wide as the area (in
    // columns side by side only where the rows would be lower than a window can be).
    void TileHorizontally();
    // The list of all document windows, to activate the one the user picks.
    void ShowWindowSelection();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool OnCreate();
    void InitCommandMap();
    QAction* CreateCommandAction(int nID, const QString& strText);
    QMenu* BuildPopup(const MenuItemTemplate& popup);
    void OnUpdateFrameMenu();
    void OnUpdateFrameTitle();
    void UpdateRecentFileMenu();
    void RebuildWindowList(QMenu* pMenu);
    void ArrangeIcons();
    // Where a new document window of this size goes: cascading from the top left, and back to
    // the top left where it would reach beyond the area.
    QPoint NextFramePosition(QSize size);
    // The message pane for a prompt (empty: blank on a command, idle text elsewhere).
    void OnStatusTip(const QString& strTip);
    // Once a menu has closed: the idle text unless the pointer is on another command.
    void OnMenuHidden();
    bool IsPointerOnCommand() const;

    CVornApp* m_pApp;
    CCommandRouter m_router;
    QMdiArea* m_pMdiArea = nullptr;
    CFrameMenuBar* m_pMenuBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    std::map<int, QLabel*> m_indicators;
    std::map<int, QAction*> m_actions;
    std::map<int, std::vector<QAction*>> m_menuBars; // top-level entries of menus 128 and 130
    std::vector<QAction*> m_windowListActions;
    CLockKeyWatcher* m_pLockKeys = nullptr;
    std::vector<QPointer<QMdiSubWindow>> m_windowListFrames; // the windows those entries activate
    int m_nCurrentMenu = 0;
    int m_nCascade = 0; // the place of the next new document window in the cascade
    bool m_bUpdatePending = false;
    bool m_bDestroying = false;
};

} // namespace vorn
