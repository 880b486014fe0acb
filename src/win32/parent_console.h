#pragma once

#include <string_view>

namespace zel {

// The console of the command prompt that started this window program (which has none of its
// own), or the files its output was redirected to: UTF-8 text reaches a console as UTF-16, so
// Turkish letters show whatever its code page.
class ParentConsole {
public:
    ParentConsole();
    void out(std::string_view text) const { write(out_, text); }
    void err(std::string_view text) const { write(err_, text); }

private:
    static void write(void* handle, std::string_view text);
    void* out_ = nullptr;
    void* err_ = nullptr;
};

}  // namespace zel
