#include "netcdf/deployment_metadata.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "netcdf/text_lines.h"

namespace vandrel {

namespace {

// A line longer than this is no "name = value" line.
constexpr std::size_t max_metadata_line = 16384;

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The netCDF names we accept for attributes: ASCII, beginning with a letter
// (names beginning with '_' are the library's).
bool is_nc_name(const std::string& name) {
    if (name.empty() || !is_letter(name[0])) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return is_letter(c) || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '@' || c == '+' || c == '-';
    });
}

// The attributes the files set from the data or the run.
bool is_set_by_us(const std::string& name) {
    const char* const exact[] = {"Conventions", "featureType", "history", "date_created"};
    if (std::any_of(std::begin(exact), std::end(exact), [&name](const char* e) { return name == e; })) return true;
    const char* const prefixes[] = {"time_coverage_", "geospatial_"};
    return std::any_of(std::begin(prefixes), std::end(prefixes),
                       [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; });
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
bool is_utf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1, cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2, cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3, cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = cp << 6 | (d & 0x3Fu);
        }
        const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

// What is wrong with one line, or empty; a good line goes to out.
std::string check_line(const std::string& line, const std::vector<metadata_attribute>& out,
                       metadata_attribute& attribute) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return "expected NAME = VALUE";
    attribute.name = detail::trim(line.substr(0, equals));
    attribute.value = detail::trim(line.substr(equals + 1));
    if (!is_nc_name(attribute.name))
        return "\"" + attribute.name +
               "\" is not a netCDF attribute name (a letter, then letters, digits, '_', '.', '@', '+' or '-')";
    if (is_set_by_us(attribute.name)) return attribute.name + " is set by the program from the data";
    for (const metadata_attribute& a : out)
        if (a.name == attribute.name) return attribute.name + " is given twice";
    if (attribute.value.empty()) return attribute.name + " has no value";
    if (!is_utf8(attribute.value)) return "the value of " + attribute.name + " is not UTF-8 text";
    return {};
}

}  // namespace

bool load_deployment_metadata(const std::string& path, std::vector<metadata_attribute>& out, std::string& error) {
    input_file f;
    if (!f.open(path)) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<metadata_attribute> attributes;
    std::string line;
    bool too_long = false;
    for (uint64_t number = 1; detail::next_line(f, max_metadata_line, line, too_long); ++number) {
        std::string problem;
        if (too_long) problem = "line longer than " + std::to_string(max_metadata_line) + " bytes";
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a byte order mark
        line = detail::trim(line);
        if (problem.empty() && (line.empty() || line[0] == '#')) continue;
        metadata_attribute attribute;
        if (problem.empty()) problem = check_line(line, attributes, attribute);
        if (!problem.empty()) {
            error = path;
            error.append(":").append(std::to_string(number)).append(": ").append(problem);
            return false;
        }
        attributes.push_back(std::move(attribute));
    }
    if (f.error()) {
        error = "cannot read " + path;
        return false;
    }
    out = std::move(attributes);
    return true;
}

std::string metadata_value(const std::vector<metadata_attribute>& attributes, const char* name) {
    for (const metadata_attribute& a : attributes)
        if (a.name == name) return a.value;
    return {};
}

}  // namespace vandrel
