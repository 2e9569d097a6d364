#include "driver/out_name.h"

namespace vandrel {

std::string make_out_fname(const std::string& suffix, const std::string& in_fname) {
    std::string out = in_fname;
    std::size_t cut = out.find("_compressed.dat");
    if (cut == std::string::npos) cut = out.find("_debug.txt");
    if (cut == std::string::npos) cut = out.rfind('.');
    if (cut != std::string::npos) out.erase(cut);
    return out + suffix;
}

}  // namespace vandrel
