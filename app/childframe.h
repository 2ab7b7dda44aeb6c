#pragma once

#include "mdichild.h"

namespace vorn {

class CVornView;

// One document window inside the main frame: it holds one view and closes with it. Closing the
// last window of a modified document asks whether to save it. Runs on the UI thread.
class CChildFrame : public CMDIChildWnd
{
    Q_OBJECT

public:
    explicit CChildFrame(CVornView* pView, QWidget* parent = nullptr);

    [[nodiscard]] CVornView* GetActiveView() const { return m_pView; }
    [[nodiscard]] CDocument* GetActiveDocument() const override;
    // The frame that holds a view, or nullptr.
    static CChildFrame* FrameOf(const CVornView* pView);

protected:
    bool CanCloseFrame() override;
    void OnFrameClosed() override;

private:
    CVornView* m_pView;
};

} // namespace vorn
