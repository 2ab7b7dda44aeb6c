#pragma once

#include "mdiframe.h"

namespace vorn {

class CChildFrame;
class CLockKeyWatcher;
class CVornApp;
class CVornDoc;
class CVornView;

// The main window: menu 130 while a document window is open and menu 128 otherwise, the
// accelerators, the toolbar and the status bar with its lock indicators, built by the MDI frame
// from resource 128. Every command goes along the route active view, its document, its frame,
// this frame, the application. The caption is the application title and the active document's
// title. Runs on the UI thread.
class CMainFrame : public CMDIFrameWnd
{
    Q_OBJECT

public:
    explicit CMainFrame(CVornApp* pApp);

    // A new document window: its view's and its document's changes reach the menus and the
    // caption.
    void AddFrame(CChildFrame* pFrame);
    [[nodiscard]] CVornView* GetActiveView() const;
    [[nodiscard]] CVornDoc* GetActiveDocument() const;

    // Reads the lock keys and shows or blanks CAP, NUM, SCRL; runs when the X server reports a
    // change.
    void UpdateIndicators();

protected:
    std::vector<CCmdTarget*> GetCommandRoute() override;
    void OnWindowNew() override;
    void OnUpdateFrameTitle() override;
    bool OnCreate() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateRecentFileMenu();

    CVornApp* m_pApp;
    CLockKeyWatcher* m_pLockKeys = nullptr;
};

} // namespace vorn
