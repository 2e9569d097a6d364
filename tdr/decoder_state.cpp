#include "tdr/decoder_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vandrel {
namespace detail {

// A C variadic on purpose: it keeps the compiler's printf format checking.
void report_error(tdr_decoder_state& st, const char* fmt, ...) {  // NOLINT(cert-dcl50-cpp)
    char text[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    std::size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) text[--n] = '\0';
    st.outcome.errors.emplace_back(text, n);
    st.out.message(st.byte_offset, text);
}

bool table_begun(tdr_decoder_state& st, tdr_table_kind kind, bool kept) {
    st.kept[static_cast<int>(kind)] = kept;
    if (!kept) report_error(st, "%s", st.out.refusal(kind).c_str());
    return kept;
}

void stop_input(tdr_decoder_state& st) { st.input.close(); }

}  // namespace detail
}  // namespace vandrel
