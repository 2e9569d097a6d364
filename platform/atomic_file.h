// Files that appear whole or not at all: a writer makes the file under a
// temporary name in the folder of its final name and renames it at the end,
// so a reader never sees half a file and a failed run leaves none behind.
#pragma once

#include <string>

namespace vandrel {

// The temporary name for a file that will become path: in the same folder
// (a rename across file systems would not be atomic), unique to this
// process, ending in ".part".
std::string temporary_path_for(const std::string& path);

// Renames from to to, replacing an existing to. False when it failed; from
// is then left in place.
bool replace_file(const std::string& from, const std::string& to);

// Removes path if it exists; no error when it does not.
void remove_file(const std::string& path);

}  // namespace vandrel
