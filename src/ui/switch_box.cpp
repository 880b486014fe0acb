#include "ui/switch_box.h"

#include "engine/schedule.h"
#include "ui/toolkit.h"

namespace zel {

void SwitchBox::nextCheckState() {
    setCheckValue(*this, switchValueAfterClick(checkValue(*this)));
}

}  // namespace zel
