#include "platform/atomic_file.h"

#include <cstdio>

#include "platform/file_names.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vandrel {

#ifdef _WIN32
std::string temporary_path_for(const std::string& path) { return path + "." + std::to_string(_getpid()) + ".part"; }

bool replace_file(const std::string& from, const std::string& to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void remove_file(const std::string& path) { DeleteFileW(widen(path).c_str()); }
#else
std::string temporary_path_for(const std::string& path) {
    return path + "." + std::to_string(static_cast<long>(::getpid())) + ".part";
}

bool replace_file(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

void remove_file(const std::string& path) { ::unlink(path.c_str()); }
#endif

}  // namespace vandrel
