// A small program for the Windows runner tests: zel_sleeper <milliseconds> [file]
// sleeps, then creates the file (when given) to show that it ran to its end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc > 1) Sleep(static_cast<DWORD>(std::atoi(argv[1])));
    if (argc > 2) {
        if (FILE* f = std::fopen(argv[2], "w")) std::fclose(f);
    }
    return 0;
}
