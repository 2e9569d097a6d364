// File names are UTF-8 strings everywhere in our code; this is the one
// place that turns them into what the operating system's calls take.
#pragma once

#include <cstdio>
#include <string>

namespace vandrel {

// Opens path read-only in binary mode; returns a descriptor or -1. A path
// that names a directory counts as one that cannot be opened.
int open_read_only(const std::string& path);

// fopen(path, mode) with the name taken as UTF-8.
std::FILE* open_stream(const std::string& path, const char* mode);

// Creates path for writing in binary mode, failing when anything by that
// name exists already: a symbolic link planted there is never followed.
std::FILE* create_new_stream(const std::string& path);

// Where the debug dump of the TDR decoder goes when no path is given:
// c:\temp\vandrel_debug.txt on Windows, vandrel_debug.txt in the system's
// temporary directory elsewhere.
std::string default_debug_dump_path();

// False when path names something that reading uses up - a pipe, a
// terminal, a device - so that it cannot be read twice. True for a regular
// file, a directory and a path that cannot be looked at (opening it then
// reports the fault).
bool can_read_twice(const std::string& path);

// The modification time of the regular file path in the system's finest
// unit (nanoseconds; 100 ns on Windows), and its size; false when path
// names no regular file. (std::filesystem has whole seconds on Windows.)
bool file_stamp(const std::string& path, long long& time, unsigned long long& size);

// True when standard error is a terminal (progress bars go there).
bool stderr_is_terminal();

// Seconds since 1970-01-01 00:00:00 UTC, now.
long long current_utc_seconds();

#ifdef _WIN32
// A UTF-8 name as the wide string that Windows' file calls take.
std::wstring widen(const std::string& s);
#endif

}  // namespace vandrel
