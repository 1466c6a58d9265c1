// Reads the running program's film clock for a test on the Linux side: for each line on standard
// input it asks the program's window (the registered "DunvelBlenk.Position" message) and prints the
// position in milliseconds, or "none" when the window is not there or does not answer.
#include <windows.h>

#include <cstdio>

int main() {
    UINT query = RegisterWindowMessageA("DunvelBlenk.Position");
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        HWND program = FindWindowA("BLENK", nullptr);
        DWORD_PTR position = 0;
        if (program && SendMessageTimeoutA(program, query, 0, 0, SMTO_ABORTIFHUNG, 1000, &position))
            std::printf("%lld\n", static_cast<long long>(static_cast<LONG_PTR>(position)));
        else
            std::printf("none\n");
        std::fflush(stdout);
    }
    return 0;
}
