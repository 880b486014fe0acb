// A small program for the Windows runner tests: zel_sleeper <milliseconds> [file] [exit code]
// sleeps, then creates the file (when given, "-" for none) to show that it ran to its end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc > 1) Sleep(static_cast<DWORD>(std::atoi(argv[1])));
    if (argc > 2 && argv[2][0] != '-') {
        if (FILE* f = std::fopen(argv[2], "w")) std::fclose(f);
    }
    return argc > 3 ? std::atoi(argv[3]) : 0;
}
