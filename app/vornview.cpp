#include "vornview.h"

namespace vorn {

CVornView::CVornView(QWidget* parent)
    : QPlainTextEdit(parent)
{
}

CVornView::~CVornView() = default;

} // namespace vorn
