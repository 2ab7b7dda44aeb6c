#include "resources.h"

namespace vorn {

const DialogTemplate* FindDialogTemplate(int)
{
    return nullptr;
}

QString LoadStringResource(int)
{
    return {};
}

} // namespace vorn
