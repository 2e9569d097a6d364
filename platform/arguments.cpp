#include "platform/arguments.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace vandrel {

#ifdef _WIN32
namespace {

std::string narrow(const wchar_t* w) {
    const int len = static_cast<int>(wcslen(w));
    if (len == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, len, s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    std::vector<std::string> args;
    int wargc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    // The shell's splitting and the runtime's agree on every ordinary command
    // line; should they ever count differently, argv is the safer choice.
    if (wargv != nullptr && wargc == argc) {
        for (int i = 0; i < wargc; ++i) args.push_back(narrow(wargv[i]));
    } else {
        for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    }
    if (wargv != nullptr) LocalFree(wargv);
    return args;
}
#else
std::vector<std::string> utf8_arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }
#endif

}  // namespace vandrel
