// The report page: one HTML file holding the plotting library, our page
// script and style, and the data as one JSON object, so it opens offline
// with nothing beside it. The writers build the JSON with the helpers here;
// the page script turns it into plots and tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/decimator.h"
#include "report/report_writer.h"

namespace vandrel::detail {

// JSON text safe inside an HTML script element: '<', '>' and '&' are
// escaped, so no data can close the element; control characters too.
void append_json_string(std::string& out, std::string_view s);

// v as printf("%.*f") would write it, less trailing zeros and point ("12.5",
// "-3", "0"); null when v is not finite. Formatted by number_format, so the
// page has the same bytes on every platform.
void append_number(std::string& out, double v, int decimals);

// "[c0,c1,...]" of one coordinate (x, y, u or v) of points, less origin:
// times relative to the page's base time keep the arrays short.
enum class coordinate { x, y, u, v };
void append_coordinate(std::string& out, const std::vector<series_point>& points, coordinate which, double origin,
                       int decimals);

// A plot's axis: its name and unit; down for depth and pressure axes, whose
// values grow downwards.
struct axis_text {
    const char* label;
    const char* unit;
    bool down = false;
};

struct named_series {
    std::string name;
    std::vector<series_point> points;
};

// A plot against time: {"kind":"time","title":..,"y":..,"series":[{"name",
// "x","y"}],"note":..} and then the extra members given as JSON text
// (",\"bands\":[...]"). Times are relative to t0, in hundredths.
void append_time_plot(std::string& out, std::string_view title, const axis_text& y,
                      const std::vector<named_series>& series, double t0, int y_decimals, std::string_view note,
                      std::string_view extra = {});

// A plot of y against x from points' x and y; lines joins each series' points
// in their order (a profile), else they are drawn as dots.
void append_xy_plot(std::string& out, std::string_view title, const axis_text& x, const axis_text& y,
                    const std::vector<named_series>& series, int x_decimals, int y_decimals, bool lines,
                    std::string_view note);

// A histogram: bar i counts values from i * width to (i + 1) * width.
void append_histogram(std::string& out, std::string_view title, const axis_text& x, const doubling_histogram& h,
                      int decimals);

// The note of a thinned plot, what it draws in plain words: "2,335 samples
// drawn as 748 time buckets, each showing its least and greatest value." for
// a drawn count of 748 and what of "time buckets, each showing ...".
std::string decimation_note(uint64_t samples, uint64_t drawn, std::string_view what);

// The note of a plot of series, each decimated on its own: their samples
// and buckets summed, as "... drawn as N <what>"; empty when no series is
// decimated.
std::string series_note(const std::vector<const min_max_decimator*>& series, std::string_view what);

// Thousands separated by commas: 1234567 as "1,234,567".
std::string count_text(uint64_t n);

// A time as "YYYY-MM-DD hh:mm:ss UTC" (whole seconds, rounded down).
std::string utc_text(double t);

// Writes the page to path atomically: under a temporary name in the same
// folder, renamed at the end; on failure nothing is left and error says why.
// The page's title: the deployment's, else "Quick look: INPUT".
std::string page_title(const report_metadata& meta);
// The data's opening: {"title":...,"meta":[the run's lines]
void append_title_and_meta(std::string& out, const report_metadata& meta);

bool write_page(const std::string& path, std::string_view title, const std::string& data_json, std::string& error);

}  // namespace vandrel::detail
