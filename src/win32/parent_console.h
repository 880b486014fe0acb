#pragma once

#include <memory>
#include <ostream>

namespace zel {

// The console of the command prompt that started this window program (which has none of its
// own), or the files its output was redirected to: UTF-8 text reaches a console as UTF-16, so
// Turkish letters show whatever its code page.
class ParentConsole {
public:
    ParentConsole();
    ~ParentConsole();
    ParentConsole(const ParentConsole&) = delete;
    ParentConsole& operator=(const ParentConsole&) = delete;

    std::ostream& out() { return *out_; }
    std::ostream& err() { return *err_; }

private:
    class Buffer;
    std::unique_ptr<Buffer> outBuffer_;
    std::unique_ptr<Buffer> errBuffer_;
    std::unique_ptr<std::ostream> out_;
    std::unique_ptr<std::ostream> err_;
};

}  // namespace zel
