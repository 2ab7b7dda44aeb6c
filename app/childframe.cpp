#include "childframe.h"

#include "resources.h"
#include "vorndoc.h"
#include "vornview.h"

#include <QCloseEvent>
#include <QIcon>

namespace vorn {

CChildFrame::CChildFrame(CVornView* pView, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_pView(pView)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(IconResourcePath(IDR_VornTYPE)));
    setWidget(pView);
}

CChildFrame* CChildFrame::FrameOf(const CVornView* pView)
{
    return pView ? qobject_cast<CChildFrame*>(pView->parentWidget()) : nullptr;
}

void CChildFrame::CloseWithoutPrompt()
{
    m_bNoPrompt = true;
    close();
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (m_bClosed) {
        event->accept();
        return;
    }
    CVornDoc* doc = CVornDoc::FromView(m_pView);
    if (!m_bNoPrompt && doc && doc->Views().size() == 1 && !doc->SaveModified()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    m_bClosed = true;
    if (doc) {
        doc->RemoveView(m_pView);
    }
    emit frameClosed(this);
}

} // namespace vorn
