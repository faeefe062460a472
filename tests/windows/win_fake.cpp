// A stand-in for a Windows console tool, driven by its arguments:
//   args A B ...  print each argument as the program received it, one "arg=<hex>" line each
//                 (UTF-16 code units in hexadecimal, so no code page stands between)
//   pid           print "pid=<id>"
//   spawn         start a copy of this program that only hangs, and print "child=<id>"
//   hang          wait until killed
// Copied into a tools folder as ffmpeg.exe, it answers every call as an old encoder would:
// FFmpeg 4.0 with every filter, the release the tool check must refuse. Copied as ffplay.exe, it
// is a player without a window: it reads its standard input to the end and prints
// "read=<bytes>" and "title=<hex>" (the argument after -window_title).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <string>

static void print(const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// UTF-16 code units in hexadecimal, so no code page stands between.
static std::string hexOf(const wchar_t *text)
{
    std::string hex;
    char unit[8];
    for (const wchar_t *c = text; *c; ++c) {
        std::snprintf(unit, sizeof unit, "%04x", unsigned(*c));
        hex += unit;
    }
    return hex;
}

static std::wstring ownPath()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

static int oldEncoder()
{
    print("ffmpeg version 4.0.2 Copyright (c) 2000-2018 the FFmpeg developers\r\n"
          "  libavutil      56. 14.100 / 56. 14.100\r\n"
          "Filters:\r\n");
    for (const char *name :
         {"atempo", "boxblur", "color", "colorchannelmixer", "crop", "curves", "elbg", "eq",
          "format", "hflip", "hue", "noise", "overlay", "scale", "setpts", "vflip", "vignette"})
        print(std::string(" ... ") + name + "            V->V       a filter\r\n");
    return 0;
}

static int player(int argc, wchar_t **argv)
{
    _setmode(_fileno(stdin), _O_BINARY);
    char buffer[65536];
    unsigned long long total = 0;
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        total += n;
    print("read=" + std::to_string(total) + "\r\n");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"-window_title") == 0)
            print("title=" + hexOf(argv[i + 1]) + "\r\n");
    }
    return 0;
}

int main()
{
    // Line ends are written as they are, "\r\n", not turned into "\r\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
    const std::wstring self = ownPath();
    const size_t slash = self.find_last_of(L"\\/");
    if (_wcsicmp(self.c_str() + slash + 1, L"ffmpeg.exe") == 0)
        return oldEncoder();

    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (_wcsicmp(self.c_str() + slash + 1, L"ffplay.exe") == 0)
        return player(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        if (step == L"args") {
            for (int j = i + 1; j < argc; ++j) {
                print("arg=" + hexOf(argv[j]) + "\r\n");
            }
            return 0;
        } else if (step == L"pid") {
            print("pid=" + std::to_string(GetCurrentProcessId()) + "\r\n");
        } else if (step == L"spawn") {
            std::wstring commandLine = L"\"" + self + L"\" hang";
            STARTUPINFOW si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &si, &pi))
                return 4;
            print("child=" + std::to_string(pi.dwProcessId) + "\r\n");
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        } else if (step == L"hang") {
            Sleep(INFINITE);
        }
    }
    return 0;
}
