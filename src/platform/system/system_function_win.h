#pragma once

#include <windows.h>

namespace zel {

// A function of a system DLL that the oldest Windows the program starts on (7 SP1) lacks: looked
// up at run time, never imported, or the loader would refuse to start the exe there. Null where
// the system has none. The DLL must be one the program imports anyway, so it is loaded.
template <class Function>
Function systemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

}  // namespace zel
