#include "report/page.h"

#include <cerrno>
#include <cmath>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/civil_time.h"
#include "platform/number_format.h"
#include "platform/output_file.h"
#include "report/web_assets.h"

namespace vandrel::detail {

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

// Text with every line ended by CR LF, as all our output files are.
void write_crlf(output_file& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) continue;
        out.write(text.data() + start, i - start);
        out.end_line();
        start = i + 1;
    }
    out.write(text.data() + start, text.size() - start);
}

void write_html_text(output_file& out, std::string_view s) {
    for (const char c : s) {
        switch (c) {
            case '<':
                out.write("&lt;");
                break;
            case '>':
                out.write("&gt;");
                break;
            case '&':
                out.write("&amp;");
                break;
            case '"':
                out.write("&quot;");
                break;
            default:
                out.put(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
        }
    }
}

// An embedded script ends at the first "</script"; our assets hold none, and
// this keeps it so should a later version of the library bring one.
void write_script(output_file& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t at = text.find("</"); at != std::string_view::npos; at = text.find("</", at + 2)) {
        write_crlf(out, text.substr(start, at + 1 - start));
        out.put('\\');
        start = at + 1;
    }
    write_crlf(out, text.substr(start));
}

std::string reason(int err) { return std::generic_category().message(err); }

}  // namespace

void append_json_string(std::string& out, std::string_view s) {
    out += '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || c == '<' || c == '>' || c == '&') {
            out += "\\u00";
            out += hex_digits[u >> 4];
            out += hex_digits[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

void append_number(std::string& out, double v, int decimals) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[max_fixed_chars];
    char* end = format_fixed(buf, v, decimals);
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    std::string_view text(buf, static_cast<std::size_t>(end - buf));
    if (text == "-0") text = "0";
    out.append(text);
}

void append_coordinate(std::string& out, const std::vector<series_point>& points, coordinate which, double origin,
                       int decimals) {
    out += '[';
    bool first = true;
    for (const series_point& p : points) {
        if (!first) out += ',';
        first = false;
        switch (which) {
            case coordinate::x:
                append_number(out, p.x - origin, decimals);
                break;
            case coordinate::y:
                append_number(out, p.y - origin, decimals);
                break;
            case coordinate::u:
                append_number(out, p.u - origin, decimals);
                break;
            case coordinate::v:
                append_number(out, p.v - origin, decimals);
                break;
        }
    }
    out += ']';
}

namespace {
void append_axis(std::string& out, const axis_text& a) {
    out += "{\"label\":";
    append_json_string(out, a.label);
    out += ",\"unit\":";
    append_json_string(out, a.unit);
    out += a.down ? ",\"down\":true}" : ",\"down\":false}";
}

void append_series(std::string& out, const std::vector<named_series>& series, double x_origin, int x_decimals,
                   int y_decimals) {
    out += "\"series\":[";
    bool first = true;
    for (const named_series& s : series) {
        if (!first) out += ',';
        first = false;
        out += "{\"name\":";
        append_json_string(out, s.name);
        out += ",\"x\":";
        append_coordinate(out, s.points, coordinate::x, x_origin, x_decimals);
        out += ",\"y\":";
        append_coordinate(out, s.points, coordinate::y, 0, y_decimals);
        out += '}';
    }
    out += ']';
}
}  // namespace

void append_time_plot(std::string& out, std::string_view title, const axis_text& y,
                      const std::vector<named_series>& series, double t0, int y_decimals, std::string_view note,
                      std::string_view extra) {
    out += "{\"kind\":\"time\",\"title\":";
    append_json_string(out, title);
    out += ",\"y\":";
    append_axis(out, y);
    out += ',';
    append_series(out, series, t0, 2, y_decimals);
    out += ",\"note\":";
    append_json_string(out, note);
    out.append(extra);
    out += '}';
}

void append_xy_plot(std::string& out, std::string_view title, const axis_text& x, const axis_text& y,
                    const std::vector<named_series>& series, int x_decimals, int y_decimals, bool lines,
                    std::string_view note) {
    out += "{\"kind\":\"xy\",\"title\":";
    append_json_string(out, title);
    out += ",\"x\":";
    append_axis(out, x);
    out += ",\"y\":";
    append_axis(out, y);
    out += lines ? ",\"lines\":true," : ",\"lines\":false,";
    append_series(out, series, 0, x_decimals, y_decimals);
    out += ",\"note\":";
    append_json_string(out, note);
    out += '}';
}

void append_histogram(std::string& out, std::string_view title, const axis_text& x, const doubling_histogram& h,
                      int decimals) {
    out += "{\"kind\":\"bars\",\"title\":";
    append_json_string(out, title);
    out += ",\"x\":";
    append_axis(out, x);
    out += ",\"width\":";
    append_number(out, h.width(), decimals);
    out += ",\"counts\":[";
    bool first = true;
    for (const uint64_t c : h.counts()) {
        if (!first) out += ',';
        first = false;
        char buf[24];
        out.append(buf, format_uint(buf, c));
    }
    out += "],\"note\":\"\"}";
}

std::string count_text(uint64_t n) {
    char buf[24];
    const std::string digits(buf, format_uint(buf, n));
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string decimation_note(uint64_t samples, uint64_t drawn, std::string_view what) {
    return count_text(samples) + " samples drawn as " + count_text(drawn) + " " + std::string(what) + ".";
}

std::string series_note(const std::vector<const min_max_decimator*>& series, std::string_view what) {
    uint64_t samples = 0, buckets = 0;
    bool decimated = false;
    for (const min_max_decimator* d : series) {
        samples += d->count();
        buckets += d->buckets();
        decimated = decimated || d->decimated();
    }
    return decimated ? decimation_note(samples, buckets, what) : std::string();
}

std::string utc_text(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 1e15) return "-";
    char buf[40];
    char* end = format_utc(buf, static_cast<int64_t>(std::floor(t)), '-');
    return std::string(buf, end) + " UTC";
}

std::string page_title(const report_metadata& meta) {
    return meta.title.empty() ? "Quick look: " + meta.source_name : meta.title;
}

void append_title_and_meta(std::string& out, const report_metadata& meta) {
    out += "{\"title\":";
    append_json_string(out, page_title(meta));
    out += ",\"meta\":[";
    if (!meta.creator.empty()) {
        out += "[\"Creator\",";
        append_json_string(out, meta.creator);
        out += "],";
    }
    out += "[\"Input\",";
    append_json_string(out, meta.source_name);
    out += "],[\"Size\",";
    append_json_string(out, count_text(meta.source_size) + " bytes");
    out += "],[\"Made by\",";
    append_json_string(out, meta.version);
    out += "],[\"Created\",";
    append_json_string(out, utc_text(static_cast<double>(meta.date_created)));
    out += "]]";
}

bool write_page(const std::string& path, std::string_view title, const std::string& data_json, std::string& error) {
    const std::string temp = temporary_path_for(path);
    output_file out;
    if (!out.create(temp)) {
        error = reason(errno);
        return false;
    }
    write_crlf(out,
               "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    write_html_text(out, title);
    write_crlf(out, "</title>\n<style>\n");
    write_crlf(out, web_asset_text(web_asset::plot_style));
    write_crlf(out, "\n</style>\n<style>\n");
    write_crlf(out, web_asset_text(web_asset::page_style));
    write_crlf(out,
               "\n</style>\n</head>\n<body>\n<main id=\"report\"><noscript>This report draws its plots with "
               "JavaScript; please allow scripts for this page.</noscript></main>\n"
               "<script type=\"application/json\" id=\"report-data\">");
    out.write(data_json);
    write_crlf(out, "</script>\n<script>\n");
    write_script(out, web_asset_text(web_asset::plot_script));
    write_crlf(out, "\n</script>\n<script>\n");
    write_script(out, web_asset_text(web_asset::page_script));
    write_crlf(out, "\n</script>\n</body>\n</html>\n");
    const bool written = out.close();
    const int err = errno;
    if (!written) {
        remove_file(temp);
        error = reason(err);
        return false;
    }
    if (!replace_file(temp, path)) {
        const int rename_err = errno;
        remove_file(temp);
        error = reason(rename_err);
        return false;
    }
    return true;
}

}  // namespace vandrel::detail
