// vandrel: turns a logger's packet file into a tab-separated table.
//   vandrel filename {offset}
// The offset argument is accepted for compatibility and has no effect.
#include <cstdio>
#include <string>
#include <vector>

#include "driver/out_name.h"
#include "packet/extract.h"
#include "platform/arguments.h"

int main(int argc, char** argv) {
    std::printf("\nvandrel v2");
    const std::vector<std::string> args = vandrel::utf8_arguments(argc, argv);
    if (args.size() < 2) {
        std::printf("\n\nUsage: vandrel filename {offset}\n");
        return 1;
    }
    const std::string& in_fname = args[1];
    const std::string out_fname = vandrel::make_out_fname("_extracted.txt", in_fname);
    std::printf("\nProcessing %s", in_fname.c_str());
    const int n = vandrel::extract_packet_file(in_fname, out_fname);
    if (n == vandrel::extract_write_error) {
        std::printf("\nError: cannot write %s\n", out_fname.c_str());
        return 1;
    }
    if (n == vandrel::extract_read_error) {
        std::printf("\nError: cannot read %s\n", in_fname.c_str());
        return 1;
    }
    if (n != 0) {
        std::printf("\nCompleted: Wrote %d samples to %s\n", n, out_fname.c_str());
    } else {
        std::printf("\nNo data found\n");
    }
    return 0;
}
