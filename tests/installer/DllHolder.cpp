// Holds a DLL as a client program that uses it does on Windows: loaded, and
// open without delete sharing, so that it can be neither deleted nor
// replaced until this program ends (Wine lets a loaded DLL be deleted; the
// open handle makes it refuse, as Windows does). Prints "held" once it
// holds the DLL, then waits until its standard input closes.
//   installer_dll_holder <dll>
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installer_dll_holder <dll>\n");
        return 64;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (module == nullptr || file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "installer_dll_holder: %s could not be held: error %lu\n", argv[1], GetLastError());
        if (module != nullptr) FreeLibrary(module);
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD count = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &count, nullptr) && count > 0) {}
    CloseHandle(file);
    FreeLibrary(module);
    return 0;
}
