#include "tdr/decoder_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vandrel {
namespace detail {

namespace {

const char* table_name(tdr_table_kind kind) {
    switch (kind) {
        case tdr_table_kind::tdr:
            return "TDR";
        case tdr_table_kind::ctd:
            return "CTD";
        case tdr_table_kind::gps:
            return "GPS";
        case tdr_table_kind::acc:
        default:
            return "ACC";
    }
}

void close_one(tdr_decoder_state& st, tdr_table_kind kind) {
    if (!st.tables.close(kind)) {
        report_error(st, "Can't write %s data file %s\n", table_name(kind), st.tables.path(kind).c_str());
    }
}

}  // namespace

// A C variadic on purpose: it keeps the compiler's printf format checking.
void report_error(tdr_decoder_state& st, const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp)
    char text[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    // The message keeps what fits before its terminator, as the decoder's
    // callers have always read it.
    std::size_t kept = std::strlen(text);
    if (kept > sizeof st.context.message - 1) kept = sizeof st.context.message - 1;
    std::memcpy(st.context.message, text, kept);
    st.context.message[kept] = '\0';
    st.decode_ok = false;
    if (st.writers != nullptr) {
        std::size_t n = std::strlen(text);
        while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) text[--n] = '\0';
        st.writers->message(st.byte_offset, text);
    }
}

bool table_created(tdr_decoder_state& st, tdr_table_kind kind) {
    if (st.tables.is_open(kind)) return true;
    report_error(st, "Can't create %s data file %s\n", table_name(kind), st.tables.path(kind).c_str());
    return false;
}

void close_tables(tdr_decoder_state& st) {
    close_one(st, tdr_table_kind::tdr);
    close_one(st, tdr_table_kind::acc);
    close_one(st, tdr_table_kind::ctd);
    close_one(st, tdr_table_kind::gps);
}

void stop_input(tdr_decoder_state& st) { st.input.close(); }

}  // namespace detail
}  // namespace vandrel
