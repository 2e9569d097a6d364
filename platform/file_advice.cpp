#include "platform/file_advice.h"

#if defined(__linux__)
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

namespace vandrel {

void read_at_random(const std::string& path) {
#if defined(__linux__)
    char wanted[PATH_MAX];
    if (realpath(path.c_str(), wanted) == nullptr) return;
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return;
    while (const dirent* e = readdir(fds)) {
        char link[sizeof "/proc/self/fd/" + sizeof e->d_name];
        char target[PATH_MAX];
        std::snprintf(link, sizeof link, "/proc/self/fd/%s", e->d_name);
        const ssize_t n = readlink(link, target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = '\0';
        // Descriptors of other files are left alone; one of path stays
        // open while its owner writes the file.
        char* end = nullptr;
        const long fd = std::strtol(e->d_name, &end, 10);
        if (std::strcmp(target, wanted) == 0 && *end == '\0')
            posix_fadvise(static_cast<int>(fd), 0, 0, POSIX_FADV_RANDOM);
    }
    closedir(fds);
#else
    (void)path;
#endif
}

}  // namespace vandrel
