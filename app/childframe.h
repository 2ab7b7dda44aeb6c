#pragma once

#include "cmdtarget.h"

#include <QMdiSubWindow>

namespace vorn {

class CVornView;

// One document window inside the main frame: it holds one view and closes with it. Closing the
// last window of a modified document asks whether to save it. Its system menu carries the
// desktop's items (restore, move, size, minimize, maximize, close, next and previous window, the
// list of windows), each with its prompt as status tip. The main frame's caption is the main
// frame's own: a maximized window does not add its title to it. Runs on the UI thread.
class CChildFrame : public QMdiSubWindow, public CCmdTarget
{
    Q_OBJECT

public:
    explicit CChildFrame(CVornView* pView, QWidget* parent = nullptr);

    [[nodiscard]] CVornView* GetActiveView() const { return m_pView; }
    // Closes the window without asking (the document is closing as a whole).
    void CloseWithoutPrompt();
    // The frame that holds a view, or nullptr.
    static CChildFrame* FrameOf(const CVornView* pView);

signals:
    // The window closed; it is deleted soon after.
    void frameClosed(CChildFrame* pFrame);
    // The system menu's window-list item: the user wants to pick a window from all open ones.
    void windowListRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void InitSystemMenu();

    CVornView* m_pView;
    bool m_bNoPrompt = false;
    bool m_bClosed = false;
};

} // namespace vorn
