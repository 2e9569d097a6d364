# Writes a C++ source that holds files as byte arrays, for the report page.
# Runs on the build host in script mode, so it serves native and cross builds
# alike and needs no tool beyond CMake:
#   cmake -DOUTPUT=web_assets.cpp -DPLOT_SCRIPT=... -DPLOT_STYLE=...
#         -DPAGE_SCRIPT=... -DPAGE_STYLE=... -P embed_assets.cmake
cmake_minimum_required(VERSION 3.20)

set(names plot_script plot_style page_script page_style)
set(body "")
set(cases "")
foreach(name IN LISTS names)
  string(TOUPPER ${name} var)
  if(NOT EXISTS "${${var}}")
    message(FATAL_ERROR "embed_assets: ${var} (${${var}}) does not exist")
  endif()
  file(READ "${${var}}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  # "0xNN," per byte, 16 bytes a line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(REPEAT "0x..," 16 line_pattern)
  string(REGEX REPLACE "(${line_pattern})" "\\1\n" hex "${hex}")
  string(APPEND body "const unsigned char ${name}_bytes[${size}] = {\n${hex}\n};\n")
  string(APPEND cases "        case web_asset::${name}: return as_text(${name}_bytes);\n")
endforeach()

file(WRITE "${OUTPUT}" "// Generated at build time by report/embed_assets.cmake; not committed.
#include <cstddef>

#include \"report/web_assets.h\"

namespace vandrel::detail {
namespace {
${body}
template <std::size_t N>
std::string_view as_text(const unsigned char (&bytes)[N]) {
    return std::string_view(reinterpret_cast<const char*>(bytes), N);
}
}  // namespace

std::string_view web_asset_text(web_asset which) {
    switch (which) {
${cases}    }
    return {};
}

}  // namespace vandrel::detail
")
