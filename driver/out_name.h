#pragma once

#include <string>

namespace vandrel {

// Derives an output file name from an input name: the name is cut at the
// first "_compressed.dat", else at the first "_debug.txt", else at the last
// '.' anywhere in the path (a '.' in a directory part counts too), and the
// suffix is appended. The searches are case-sensitive substring searches.
std::string make_out_fname(const std::string& suffix, const std::string& in_fname);

}  // namespace vandrel
