// The netCDF-C calls the writers share: one file written under a temporary
// name and renamed at the end, every library status checked through one
// helper that keeps the first failure with nc_strerror's text, attribute
// and variable definitions, and the columns that carry a variable's values.
//
// Files are in the classic 64-bit-offset format, written without fill
// values. In that format the variables along the unlimited dimension are
// stored interleaved, record after record, and netCDF-C writes them value
// by value, several times slower than our text tables; and the sizes of
// the instance dimensions (stations, casts, bursts, events) are known only
// at the end of the input. So the input is read twice. The first reading
// only counts: every column learns its length, and the writer which
// channels and instances there are. The second reading defines each file
// with all dimensions at their final sizes when its table begins, and the
// values go from a block per column straight to their place in the file,
// each variable contiguous. Memory stays at one block per column, nothing
// is written twice, and no file is rewritten.
#pragma once

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netcdf/netcdf_metadata.h"

namespace vandrel {
namespace detail {

class nc_column_base;

struct nc_output {
    int ncid = -1;
    std::string final_path;
    std::string temp_path;
    std::string error;                     // the first failure; empty while all went well
    int crs = -1;                          // the grid mapping of a file with positions
    bool writing = false;                  // the second reading (see the top)
    std::vector<nc_column_base*> columns;  // every column of the file

    bool ok() const { return error.empty(); }
    // Keeps what as the error unless there was one.
    void fail(const char* what) {
        if (error.empty()) error = what;
    }
    static constexpr const char* readings_differ = "the second reading of the input gave other records than the first";
    // True when status is NC_NOERR; else remembers the first failure as
    // "what: nc_strerror(status)".
    bool check(int status, const char* what);
};

// The columns' second reading begins.
void nc_start_writing(nc_output& f);
// Creates the file under a temporary name beside final_path, in define mode.
bool nc_begin(nc_output& f, const std::string& final_path);
// Leaves define mode once everything is defined, and writes crs if any.
bool nc_end_define(nc_output& f);
// Writes what the columns hold, closes the file and renames it to its final
// name.
bool nc_commit(nc_output& f);
// Closes and removes what was begun; the first error stays.
void nc_abandon(nc_output& f);

// ---- Definitions -----------------------------------------------------------

// What the positions make of a file: the discrete sampling geometry it
// claims, or none when no positions are known (no featureType, no latitude
// or longitude: a generic reader would take every value for missing).
enum class nc_feature { none, time_series, trajectory, profile };

// The feature of a file of samples (timeSeries at a fixed position,
// trajectory along a track) or of profiles, for the positions given.
nc_feature sample_feature(const position_source& positions);
nc_feature profile_feature(const position_source& positions);

int nc_dim(nc_output& f, const char* name, std::size_t length);
// A dimension of length values; the unlimited one when length is 0 (the
// classic format has no other empty dimension).
int nc_sized_dim(nc_output& f, const char* name, std::size_t length);
int nc_var(nc_output& f, const std::string& name, nc_type type, std::initializer_list<int> dims);
void nc_text_att(nc_output& f, int var, const char* name, const std::string& text);
void nc_double_att(nc_output& f, int var, const char* name, nc_type type, std::initializer_list<double> values);
// _FillValue: the library's default fill of the variable's type.
void nc_default_fill(nc_output& f, int var, nc_type type);
// units, long_name, standard_name (when given), ACDD's
// coverage_content_type and, when with_fill, _FillValue. Integers get no
// _FillValue they never hold: readers would otherwise turn them into
// floating point.
void nc_describe(nc_output& f, int var, nc_type type, const char* units, const std::string& long_name,
                 const char* standard_name, bool with_fill = true);
// An index of a ragged array or of another dimension, an identifier or a
// count of a ragged array: never missing, so without _FillValue.
int nc_index_var(nc_output& f, const char* name, int dim, const std::string& long_name);
// A data variable described as above, with coordinates when given (empty:
// none), and crs as its grid mapping when they include "lat lon".
int nc_data_var(nc_output& f, const std::string& name, nc_type type, std::initializer_list<int> dims, const char* units,
                const std::string& long_name, const char* standard_name, const std::string& coordinates = {},
                bool with_fill = true);
// A flag of two states, 0 and 1, as a short with flag_values and
// flag_meanings ("first second"); _FillValue only when with_fill.
int nc_flag_var(nc_output& f, const char* name, int dim, const std::string& long_name, const char* meanings,
                const std::string& coordinates, bool with_fill);
// A time: seconds since 1970 UTC, standard calendar, never missing (no
// _FillValue: readers would take it for a date).
int nc_time_var(nc_output& f, const char* name, int dim, const std::string& long_name);
// Latitude and longitude variables of type (NC_DOUBLE, or NC_FLOAT along a
// track) on dim (or scalars when dim < 0), with _FillValue when positions
// may be unknown (outside a track), and the grid mapping (WGS 84) as the
// scalar crs.
void nc_lat_lon_vars(nc_output& f, int dim, bool with_fill, int& lat, int& lon, nc_type type = NC_DOUBLE);
// The first and last of the times seen, and the smallest step between two
// times added one after the other.
struct time_span {
    bool any = false;
    double first = 0, last = 0;
    double opening = 0;  // the first time added
    double previous = 0, step = HUGE_VAL;
    void add(double t) {
        if (any && t != previous) step = std::min(step, std::fabs(t - previous));
        if (!any) opening = t;
        if (!any || t < first) first = t;
        if (!any || t > last) last = t;
        any = true;
        previous = t;
    }
    // The span of times added after these, as if added here.
    void add(const time_span& later) {
        if (!later.any) return;
        if (!any) {
            *this = later;
            return;
        }
        if (later.opening != previous) step = std::min(step, std::fabs(later.opening - previous));
        step = std::min(step, later.step);
        first = std::min(first, later.first);
        last = std::max(last, later.last);
        previous = later.previous;
    }
    // A time the coverage must reach that is not one of the file's steps
    // (the end of an event whose start was added).
    void reach(double t) {
        if (!any) return;
        if (t < first) first = t;
        if (t > last) last = t;
    }
};

// The lowest and highest latitude and longitude of the positions written.
struct position_bounds {
    double lat_min = HUGE_VAL, lat_max = -HUGE_VAL, lon_min = HUGE_VAL, lon_max = -HUGE_VAL;
    void add(double lat, double lon) {
        lat_min = std::min(lat_min, lat);
        lat_max = std::max(lat_max, lat);
        lon_min = std::min(lon_min, lon);
        lon_max = std::max(lon_max, lon);
    }
    void add(const position_bounds& other) {
        lat_min = std::min(lat_min, other.lat_min);
        lat_max = std::max(lat_max, other.lat_max);
        lon_min = std::min(lon_min, other.lon_min);
        lon_max = std::max(lon_max, other.lon_max);
    }
};

// The extent of a file's vertical coordinate (depth or pressure, positive
// down); NaN values are not counted.
struct vertical_span {
    double min = HUGE_VAL, max = -HUGE_VAL;
    void add(double v) {
        if (v < min) min = v;
        if (v > max) max = v;
    }
    void add(const vertical_span& other) {
        min = std::min(min, other.min);
        max = std::max(max, other.max);
    }
};

// What a file holds, in words, for its discovery attributes.
struct nc_description {
    const char* title;  // " from INPUT" follows
    const char* summary;
    const char* keywords;
    const char* vertical_units;  // of its vertical coordinate; nullptr: none
};

// The extent of a file's data, for its discovery attributes: found in the
// first reading, as the file is defined before the second brings values.
struct nc_coverage {
    time_span times;
    position_bounds bounds;
    vertical_span vertical;
};

// The global attributes: the discovery attributes, the feature type, the
// time coverage (when any time was seen), the positions' origin (for files
// of samples, positional), the geospatial bounds (when any position was
// known), then the deployment's own attributes from the metadata file.
void nc_global_atts(nc_output& f, const netcdf_metadata& meta, const nc_description& what, nc_feature feature,
                    bool positional, const nc_coverage& coverage);

// ISO 8601 durations: "P1DT2H3M4S", "PT0.5S".
std::string iso_duration(double seconds);

// ---- Data -------------------------------------------------------------------

// Writes n values of var's type from data at index first of a
// one-dimensional variable.
void nc_put_block(nc_output& f, int var, std::size_t first, std::size_t n, const void* data);

// A column of a file: what the file does with all of them at once.
class nc_column_base {
public:
    virtual ~nc_column_base() = default;
    // The first reading is over: its count becomes the length of the
    // variable, and the second reading begins.
    virtual void start_writing() = 0;
    // Writes what is left; an error when the second reading gave another
    // number of values than the first.
    virtual void complete() = 0;
    // In the first reading: counts the values of the same column of a file
    // of the same shape, counted elsewhere, as if pushed here.
    virtual void add_count(const nc_column_base& same) = 0;
};

// The values of one variable, in its netCDF type (double, float, int,
// short), in the order they are decoded. While the input is first read a
// column only counts; then it writes them, a block at a time, to var.
template <class T>
class nc_column final : public nc_column_base {
public:
    explicit nc_column(nc_output& f) : f_(&f) { f.columns.push_back(this); }
    nc_column(const nc_column&) = delete;
    nc_column& operator=(const nc_column&) = delete;

    int var = -1;  // the variable, once defined

    void push(T v) {
        ++size_;
        if (!writing_) return;
        if (held_ == room_) flush();
        block_[held_++] = v;
    }
    // value(records[i]) of n records: a column's values of several rows in
    // one loop.
    template <class Record, class Value>
    void push_each(const Record* records, std::size_t n, Value value) {
        size_ += n;
        if (!writing_) return;
        while (n > 0) {
            if (held_ == room_) flush();
            // As many as the block has room for, in a loop of their own.
            const std::size_t take = std::min(n, room_ - held_);
            T* out = block_.get() + held_;
            for (std::size_t i = 0; i < take; ++i) out[i] = value(records[i]);
            held_ += take;
            records += take;
            n -= take;
        }
    }
    // n copies of the fill value v: the rows before a column began, or a
    // row without this value. The variable then needs a _FillValue.
    void push_fill(T v, std::size_t n = 1) {
        gaps = gaps || n > 0;
        for (std::size_t i = 0; i < n; ++i) push(v);
    }
    bool gaps = false;  // push_fill was called
    // Values pushed in this reading.
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The values the first reading counted: the variable's length.
    std::size_t length() const { return length_; }

    void start_writing() override {
        length_ = size_;
        size_ = 0;
        writing_ = true;
    }
    void add_count(const nc_column_base& same) override {
        const auto& other = dynamic_cast<const nc_column&>(same);
        size_ += other.size_;
        gaps = gaps || other.gaps;
    }
    void complete() override {
        flush();
        block_.reset();
        if (size_ != length_) f_->fail(nc_output::readings_differ);
    }

private:
    // Large blocks: each goes to its own part of the file.
    static constexpr std::size_t block_values = (std::size_t{1} << 20) / sizeof(T);

    // Writes the values held and makes room for more (the block is made
    // when the first value comes).
    void flush() {
        if (held_ > 0) {
            if (size_ > length_ || var < 0) {
                f_->fail(nc_output::readings_differ);
            } else {
                nc_put_block(*f_, var, written_, held_, block_.get());
            }
            written_ += held_;
            held_ = 0;
        }
        if (!block_) block_.reset(new T[block_values]);
        room_ = block_values;
    }

    nc_output* f_;
    bool writing_ = false;
    std::unique_ptr<T[]> block_;
    std::size_t held_ = 0, room_ = 0;  // values in the block, and its size
    std::size_t size_ = 0, length_ = 0, written_ = 0;
};

// Latitudes and longitudes taken from the positions at the times of a
// file's instances (stations, profiles: doubles) or samples (along a
// track: floats, a metre's precision, as the track's own fixes have no
// better and there are as many as samples) as they are added; _FillValue
// where unknown.
template <class T>
struct position_columns {
    static constexpr T fill = sizeof(T) == sizeof(float) ? T{NC_FILL_FLOAT} : T{NC_FILL_DOUBLE};
    nc_column<T> lat, lon;
    position_bounds bounds;
    track_cursor cursor;  // the track's segment of the last time
    explicit position_columns(nc_output& f) : lat(f), lon(f) {}
    void add(const position_source& source, double t) {
        double la = 0, lo = 0;
        if (position_at(source, t, la, lo, &cursor)) {
            bounds.add(la, lo);
            lat.push(static_cast<T>(la));
            lon.push(static_cast<T>(lo));
        } else {
            lat.push(fill);
            lon.push(fill);
        }
    }
};
using sample_positions = position_columns<float>;
using instance_positions = position_columns<double>;

// Seconds since 1970 as ISO 8601 UTC, "2021-03-04T05:06:07Z".
std::string iso_time(int64_t t);

// A valid netCDF name made from text (letters, digits and '_', beginning
// with a letter), different from every name in taken, which it joins.
std::string nc_name_from(const std::string& text, std::vector<std::string>& taken);

}  // namespace detail
}  // namespace vandrel
