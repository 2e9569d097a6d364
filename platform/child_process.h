// Running a program and waiting for it: the batch mode runs each input as a
// command of its own.
#pragma once

#include <string>
#include <vector>

namespace vandrel {

// Runs args[0] with the arguments args[1..], its standard input empty and
// its standard output and error written to the files out_path and err_path,
// and waits for it to end. Returns its exit status, 128 + the signal's number
// when a signal ended it, or -1 when it could not be started. An interrupt
// of this process (interrupt.h) is passed on to it once.
int run_program(const std::vector<std::string>& args, const std::string& out_path, const std::string& err_path);

// The running program's own file, to run it again; argv0 when the system
// does not tell.
std::string own_program_path(const std::string& argv0);

}  // namespace vandrel
