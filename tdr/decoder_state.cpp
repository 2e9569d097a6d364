#include "tdr/decoder_state.h"

#include <cstdarg>
#include <cstdio>

namespace vandrel {
namespace detail {

tdr_decoder_state state;

void reset_decoder_state() {
    // Destroying the old values closes any file that is still open.
    state = tdr_decoder_state{};
}

// A C variadic on purpose: it keeps the compiler's printf format checking.
void report_error(tdr_context& context, const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp)
    va_list ap;
    va_start(ap, fmt);
    // vsnprintf cuts a longer text to the room left before the terminator.
    std::vsnprintf(context.message, sizeof context.message, fmt, ap);
    va_end(ap);
    state.decode_ok = false;
}

std::unique_ptr<output_file> create_data_file(const std::string& path) {
    auto file = std::make_unique<output_file>();
    if (!file->create(path, output_buffer_size)) return nullptr;
    return file;
}

namespace {

void close_one(std::unique_ptr<output_file>& file, const char* kind, const std::string& path, tdr_context& context) {
    if (!file) return;
    if (!file->close()) report_error(context, "Can't write %s data file %s\n", kind, path.c_str());
    file.reset();
}

}  // namespace

void close_data_files(tdr_context& context) {
    close_one(state.tdr_file, "TDR", context.tdr_path, context);
    close_one(state.acc_file, "ACC", context.acc_path, context);
    close_one(state.ctd_file, "CTD", context.ctd_path, context);
    close_one(state.gps_file, "GPS", context.gps_path, context);
}

void stop_input() {
    if (state.input) state.input->close();
}

}  // namespace detail
}  // namespace vandrel
