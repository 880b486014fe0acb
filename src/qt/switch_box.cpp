#include "qt/switch_box.h"

#include "engine/schedule.h"
#include "qt/toolkit.h"

namespace zel {

void SwitchBox::nextCheckState() {
    setCheckValue(*this, switchValueAfterClick(checkValue(*this)));
}

}  // namespace zel
