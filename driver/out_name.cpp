#include "driver/out_name.h"

namespace vandrel {

std::string make_out_fname(const std::string& suffix, const std::string& in_fname) {
    // The rules look at the file name alone: a marker or a '.' in a folder
    // above it would name the outputs after that folder (and put them there).
    const std::size_t last_slash = in_fname.find_last_of("/\\");
    const std::size_t name = last_slash == std::string::npos ? 0 : last_slash + 1;
    std::string out = in_fname;
    std::size_t cut = out.find("_compressed.dat", name);
    if (cut == std::string::npos) cut = out.find("_debug.txt", name);
    if (cut == std::string::npos) cut = out.rfind('.');
    if (cut != std::string::npos && cut >= name) out.erase(cut);
    return out + suffix;
}

std::string name_in_output_dir(const std::string& in_fname, const std::string& dir) {
    if (dir.empty()) return in_fname;
    const std::size_t last_slash = in_fname.find_last_of("/\\");
    const std::string name = last_slash == std::string::npos ? in_fname : in_fname.substr(last_slash + 1);
    const char end = dir.back();
    return end == '/' || end == '\\' ? dir + name : dir + "/" + name;
}

std::vector<std::string> packet_output_names(const std::string& in_fname) {
    std::vector<std::string> names;
    for (const char* suffix : {"_extracted.txt", "_extracted.nc", "_report.html"})
        names.push_back(make_out_fname(suffix, in_fname));
    return names;
}

std::vector<std::string> tdr_output_names(const std::string& prefix) {
    std::vector<std::string> names;
    for (const char* suffix : {"_tdr.txt", "_ctd.txt", "_gps.txt", "_acc.txt", "_tdr.nc", "_events.nc", "_ctd.nc",
                               "_gps.nc", "_acc.nc", "_report.html", "_dives.txt", "_dives.nc"})
        names.push_back(prefix + suffix);
    return names;
}

}  // namespace vandrel
