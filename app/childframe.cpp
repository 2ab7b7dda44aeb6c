#include "childframe.h"

#include "resources.h"
#include "vorndoc.h"
#include "vornview.h"

#include <QIcon>

namespace vorn {

CChildFrame::CChildFrame(CVornView* pView, QWidget* parent)
    : CMDIChildWnd(pView, parent)
    , m_pView(pView)
{
    setWindowIcon(QIcon(IconResourcePath(IDR_VornTYPE)));
}

CChildFrame* CChildFrame::FrameOf(const CVornView* pView)
{
    return pView ? qobject_cast<CChildFrame*>(pView->parentWidget()) : nullptr;
}

CDocument* CChildFrame::GetActiveDocument() const
{
    return m_pView->GetDocument();
}

bool CChildFrame::CanCloseFrame()
{
    CVornDoc* doc = CVornDoc::FromView(m_pView);
    return !(doc && doc->Views().size() == 1 && !doc->SaveModified());
}

void CChildFrame::OnFrameClosed()
{
    if (CVornDoc* doc = CVornDoc::FromView(m_pView)) {
        doc->RemoveView(m_pView);
    }
}

} // namespace vorn

#include "moc_childframe.cpp"
