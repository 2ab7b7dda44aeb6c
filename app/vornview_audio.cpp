#include "vornview.h"

namespace vorn {

void CVornView::OnRun() { }
long CVornView::OnWaveOutDone(std::uintptr_t, std::intptr_t) { return 0; }
void CVornView::OnStop() { }

} // namespace vorn
