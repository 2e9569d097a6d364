// setenv and unsetenv, which the Windows runtime lacks, on top of its
// _putenv (which keeps its own copy of the text). Force-included into the
// test programs of the Windows builds.
#pragma once

#ifdef _WIN32
#include <stdlib.h>

#include <string>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (overwrite == 0 && getenv(name) != nullptr) return 0;
    return _putenv((std::string(name) + "=" + value).c_str()) == 0 ? 0 : -1;
}

// "NAME=" removes NAME from the environment.
inline int unsetenv(const char* name) { return _putenv((std::string(name) + "=").c_str()) == 0 ? 0 : -1; }
#endif
