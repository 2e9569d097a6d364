#pragma once

#include <string>
#include <vector>

namespace vandrel {

// Derives an output file name from an input name. Only the file name - what
// follows the last '/' or '\' - is looked at: it is cut at its first
// "_compressed.dat", else at its first "_debug.txt", else at its last '.',
// and the suffix is appended; the folders before it are kept as they are.
// The searches are case-sensitive substring searches.
std::string make_out_fname(const std::string& suffix, const std::string& in_fname);

// The name the outputs of in_fname are derived from: in_fname itself, or with
// an output folder dir its file name in dir.
std::string name_in_output_dir(const std::string& in_fname, const std::string& dir);

// Every file each command may write for one input: vandrel's for the input
// in_fname, vandrel-tdr's for the output prefix.
std::vector<std::string> packet_output_names(const std::string& in_fname);
std::vector<std::string> tdr_output_names(const std::string& prefix);

}  // namespace vandrel
