#include "platform/child_process.h"

#include <chrono>
#include <thread>

#include "platform/file_names.h"
#include "platform/interrupt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#endif

namespace vandrel {

#ifdef _WIN32
namespace {

// One argument as CommandLineToArgvW splits it back: quoted, with the
// backslashes before a quote (and before the closing one) doubled.
void append_quoted(std::wstring& line, const std::wstring& arg) {
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

HANDLE inheritable_file(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int run_program(const std::vector<std::string>& args, const std::string& out_path, const std::string& err_path) {
    std::wstring line;
    for (const std::string& a : args) {
        if (!line.empty()) line += L' ';
        append_quoted(line, widen(a));
    }
    HANDLE in = inheritable_file("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritable_file(out_path, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritable_file(err_path, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    // The child shares the console, so Ctrl-C reaches it as it reaches us.
    const bool started =
        in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessW(widen(args[0]).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    for (HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!started) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(status);
}

std::string own_program_path(const std::string& argv0) {
    wchar_t path[32768];
    const DWORD n = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (n == 0 || n >= sizeof path / sizeof path[0]) return argv0;
    const int len = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(len), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(n), s.data(), len, nullptr, nullptr);
    return s;
}
#else
int run_program(const std::vector<std::string>& args, const std::string& out_path, const std::string& err_path) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // A process group of its own: a Ctrl-C at the terminal reaches this
    // process only, which passes it on once, so that no child gets it twice
    // (the second would kill it before it has cleaned up).
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    const int started = posix_spawn(&pid, argv[0], &files, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    if (started != 0) return -1;
    bool passed_on = false;
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 && errno != EINTR) return -1;
        if (!passed_on && interrupt_requested()) {
            ::kill(pid, SIGTERM);
            passed_on = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string own_program_path(const std::string& argv0) {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    return n > 0 && static_cast<std::size_t>(n) < sizeof path ? std::string(path, static_cast<std::size_t>(n)) : argv0;
}
#endif

}  // namespace vandrel
