#include "vornview.h"

namespace vorn {

void CVornView::DrawTrace() { }
void CVornView::DrawSegment(double, double, double, double) { }
void CVornView::OnPaint() { }
void CVornView::OnSettings() { }
void CVornView::OnFreqResponse() { }

} // namespace vorn
