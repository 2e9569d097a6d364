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

}  // namespace vandrel
