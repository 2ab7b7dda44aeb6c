#pragma once

#include "dialog.h"

#include <cstdint>

namespace vorn {

class CDataExchange;

// The settings dialog (template 310): the input waveform as a radio index (0 = "Sin wave",
// 1 = "Step") and the sine frequency in Hz. The caller fills both members before DoModal() and
// reads them after IDOK. UI thread only.
class CDrawDlg : public CDialogEx
{
    Q_OBJECT

public:
    explicit CDrawDlg(QWidget* pParent = nullptr);
    ~CDrawDlg() override;

    std::int32_t m_nInput = 0;
    double m_dFreq = 0.0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

} // namespace vorn
