#pragma once

#include "cmdtarget.h"
#include "mdichild.h"

#include <QMainWindow>
#include <QPointer>

#include <initializer_list>
#include <map>
#include <vector>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace vorn {

class CFrameMenuBar;
struct MenuItemTemplate;

// The multiple-document main window, built from resource templates: the document windows in an
// MDI area, the frame's own menu while no document window is open and the document menu while
// one is, the accelerators, a dockable toolbar and a status bar whose message pane shows the
// prompt of the command under the pointer. It handles the bar toggles and the Window popup (new
// window, cascade, tile, arrange icons, the list of windows and the dialog of all of them) and
// runs every command along the route that the derived frame gives. Runs on the UI thread.
class CMDIFrameWnd : public QMainWindow, public CCmdTarget
{
    Q_OBJECT

public:
    // nIDDocumentMenu: the menu shown while a document window is active.
    explicit CMDIFrameWnd(int nIDDocumentMenu, QWidget* parent = nullptr);
    ~CMDIFrameWnd() override;

    // Builds the frame from resource nIDResource (menu, accelerators, toolbar, icon) and runs
    // OnCreate. False when a template is missing or OnCreate fails.
    bool LoadFrame(int nIDResource);

    // Takes a new document window into the area: three quarters of the area's size, cascading
    // from the top left, shown, active.
    void AddMDIChild(CMDIChildWnd* pFrame);
    void MDIActivate(CMDIChildWnd* pFrame);
    // The active document window whose view still has its document, or nullptr.
    [[nodiscard]] CMDIChildWnd* MDIGetActive() const;
    [[nodiscard]] QMdiArea* MdiArea() const { return m_pMdiArea; }

    // The action that carries a command id (menus, toolbar and accelerators share it).
    [[nodiscard]] QAction* CommandAction(int nID) const;
    [[nodiscard]] QToolBar* ToolBar() const { return m_wndToolBar; }
    [[nodiscard]] CFrameMenuBar* MenuBar() const { return m_pMenuBar; }
    [[nodiscard]] QLabel* MessagePane() const { return m_pMessagePane; }
    [[nodiscard]] QLabel* IndicatorPane(int nID) const;
    // The menu resource shown now.
    [[nodiscard]] int CurrentMenuId() const { return m_nCurrentMenu; }

    // Runs a command along the route; false when nothing enabled handled it.
    bool SendCommand(int nID);
    // Recomputes the menu and the enabled and checked states of every command.
    void UpdateCommandUI();
    // The same, once control returns to the event loop.
    void ScheduleUpdate();
    // Shows a text in the message pane; the idle text ("レディ") when idle.
    void SetMessageText(const QString& strText);
    void SetIdleMessage();

    // Window > Tile: the document windows one above the other, each as wide as the area (in
    // columns side by side only where the rows would be lower than a window can be).
    void TileHorizontally();
    // Window > Arrange icons: the minimized windows along the bottom edge.
    void ArrangeIcons();
    // The list of all document windows, to activate the one the user picks.
    void ShowWindowSelection();

protected:
    // The objects a command goes to, the first first. Not asked while the frame is destroyed.
    virtual std::vector<CCmdTarget*> GetCommandRoute() = 0;
    // Window > New window on the active document window.
    virtual void OnWindowNew() = 0;
    // Sets the caption; called whenever the active window or its title may have changed.
    virtual void OnUpdateFrameTitle() { }
    // Builds the bars and the menus; a derived frame calls it first and adds its own.
    virtual bool OnCreate();

    // The status bar's panes after the message pane, from left to right, each as wide as its
    // string resource and blank until filled through IndicatorPane.
    void SetIndicators(std::initializer_list<int> ids);
    // OnUpdateFrameTitle unless the frame is being destroyed.
    void UpdateFrameTitle();
    [[nodiscard]] bool IsDestroying() const { return m_bDestroying; }
    // A file name or title as a menu shows it: an ampersand is itself, not a mnemonic mark.
    static QString MenuText(QString text);

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void InitCommandMap();
    QAction* CreateCommandAction(int nID, const QString& strText);
    QMenu* BuildPopup(const MenuItemTemplate& popup);
    void OnUpdateFrameMenu();
    void RebuildWindowList(QMenu* pMenu);
    // The message pane for a prompt (empty: blank on a command, idle text elsewhere).
    void OnStatusTip(const QString& strTip);
    // Once a menu has closed: the idle text unless the pointer is on another command.
    void OnMenuHidden();
    bool IsPointerOnCommand() const;

    CCommandRouter m_router;
    int m_nIDResource = 0;
    int m_nIDDocumentMenu;
    QMdiArea* m_pMdiArea = nullptr;
    CFrameMenuBar* m_pMenuBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    std::map<int, QLabel*> m_indicators;
    std::map<int, QAction*> m_actions;
    std::map<int, std::vector<QAction*>> m_menuBars; // top-level entries of the two menus
    std::vector<QAction*> m_windowListActions;
    std::vector<QPointer<QMdiSubWindow>> m_windowListFrames; // the windows those entries activate
    int m_nCurrentMenu = 0;
    int m_nCascade = 0; // the place of the next new document window in the cascade
    bool m_bUpdatePending = false;
    bool m_bDestroying = false;
};

} // namespace vorn
