// The command line as UTF-8 strings, like every file name in our code.
#pragma once

#include <string>
#include <vector>

namespace vandrel {

// The program's arguments, argv[0] included. On Windows main's argv is in
// the ANSI code page, where a file name with characters outside it comes out
// as '?'; there the arguments are read again from the wide-character command
// line and converted to UTF-8. Elsewhere argv is taken as it is.
std::vector<std::string> utf8_arguments(int argc, char** argv);

}  // namespace vandrel
