// Hints to the operating system about how an open file will be used, for
// files another library opened and keeps the descriptor of.
#pragma once

#include <string>

namespace vandrel {

// The descriptors this process holds open on path are read piecewise at
// random places: the system then reads no more than asked for.
//
// The netCDF library reads each page of the file before writing it, and the
// columns of a new file are pages not yet written. The system's read-ahead
// would fill large stretches of the file's cache with zeros ahead of every
// read, and on a virtual machine that costs more than the writing itself.
// Nothing happens where the system has no such hint or the descriptors
// cannot be listed (Windows, no /proc).
void read_at_random(const std::string& path);

}  // namespace vandrel
