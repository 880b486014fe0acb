#include "engine/run_log.h"

#include "engine/backup_report.h"

namespace zel {

void RunLog::write(std::string_view text) noexcept {
    try {
        files_.appendRotating(path_, runLogLine(clock_.now(), text), kRunLogLimit);
    } catch (...) {
    }
    if (!heard_) return;
    try {
        heard_(text);
    } catch (...) {
    }
}

}  // namespace zel
