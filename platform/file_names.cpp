#include "platform/file_names.h"

#include <ctime>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vandrel {

#ifdef _WIN32
std::wstring widen(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

int open_read_only(const std::string& path) {
    const std::wstring w = widen(path);
    struct _stat64 st {};
    if (_wstat64(w.c_str(), &st) == 0 && (st.st_mode & _S_IFDIR) != 0) return -1;
    return _wopen(w.c_str(), _O_RDONLY | _O_BINARY);
}

std::FILE* open_stream(const std::string& path, const char* mode) {
    return _wfopen(widen(path).c_str(), widen(mode).c_str());
}

std::FILE* create_new_stream(const std::string& path) {
    const int fd = _wopen(widen(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* f = _fdopen(fd, "wb");
    if (f == nullptr) _close(fd);
    return f;
}

std::string default_debug_dump_path() { return "c:\\temp\\vandrel_debug.txt"; }

bool can_read_twice(const std::string& path) {
    struct _stat64 st {};
    return _wstat64(widen(path).c_str(), &st) != 0 || (st.st_mode & (_S_IFREG | _S_IFDIR)) != 0;
}

bool file_stamp(const std::string& path, long long& time, unsigned long long& size) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &a) ||
        (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    time = static_cast<long long>(static_cast<unsigned long long>(a.ftLastWriteTime.dwHighDateTime) << 32 |
                                  a.ftLastWriteTime.dwLowDateTime);
    size = static_cast<unsigned long long>(a.nFileSizeHigh) << 32 | a.nFileSizeLow;
    return true;
}

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
#else
int open_read_only(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::FILE* open_stream(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::FILE* create_new_stream(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (f == nullptr) ::close(fd);
    return f;
}

std::string default_debug_dump_path() {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = "/tmp";
    return (dir / "vandrel_debug.txt").string();
}

bool can_read_twice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

bool file_stamp(const std::string& path, long long& time, unsigned long long& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    time = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    size = static_cast<unsigned long long>(st.st_size);
    return true;
}

bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) != 0; }
#endif

long long current_utc_seconds() { return static_cast<long long>(std::time(nullptr)); }

}  // namespace vandrel
