// libstdc++'s default handler for an exception nobody caught prints its demangled type name, and so
// links the whole C++ demangler (about 45 KB) into the exe. A program without a console has nowhere
// to print it: it ends as the default handler ends, with abort.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
