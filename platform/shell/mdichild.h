#pragma once

#include "cmdtarget.h"

#include <QMdiSubWindow>

namespace vorn {

class CDocument;

// A document window inside an MDI frame: it holds one view and is deleted once closed. Its
// system menu carries the desktop's items (restore, move, size, minimize, maximize, close, next
// and previous window, the list of windows), each with its prompt as status tip. While maximized
// it leaves the frame's caption to the frame. Derived frames say whether it may close and what
// its document is. Runs on the UI thread.
class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget
{
    Q_OBJECT

public:
    explicit CMDIChildWnd(QWidget* pView, QWidget* parent = nullptr);

    // The document of the window's view; nullptr once the view has left it (while closing).
    [[nodiscard]] virtual CDocument* GetActiveDocument() const = 0;
    // Closes the window without asking (the document is closing as a whole).
    void CloseWithoutPrompt();

signals:
    // The window closed; it is deleted soon after.
    void frameClosed(CMDIChildWnd* pFrame);
    // The system menu's window-list item: the user wants to pick a window from all open ones.
    void windowListRequested();

protected:
    // Whether the window may close now (asked unless closing without prompt).
    virtual bool CanCloseFrame() = 0;
    // The window has closed, just before frameClosed.
    virtual void OnFrameClosed() { }

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void InitSystemMenu();

    bool m_bNoPrompt = false;
    bool m_bClosed = false;
};

} // namespace vorn
