#pragma once

namespace zel {

// Whether this process runs with the administrators' rights: root on Linux, an elevated token
// (or LocalSystem) on Windows.
bool runsElevated();

}  // namespace zel
