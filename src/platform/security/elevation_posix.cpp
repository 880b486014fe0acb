#include <unistd.h>

#include "platform/security/elevation.h"

namespace zel {

bool runsElevated() {
    return ::geteuid() == 0;
}

}  // namespace zel
