// The netCDF-C calls the writers share: one file written under a temporary
// name and renamed at the end, every library status checked through one
// helper that keeps the first failure with nc_strerror's text, attribute
// and variable definitions, and columns of rows buffered on their way to
// the record dimension.
//
// Files are in the classic 64-bit-offset format, written without fill
// values. The sizes of the instance dimensions (stations, casts, bursts,
// events) are known only at the end, while the rows stream to the
// unlimited record dimension from the start; the classic format places
// fixed-size variables before the records, so adding them at the end would
// make the library move every record. To avoid that, the file is defined
// with room to spare: free space after the header and after the first
// fixed variable (the scalar crs, defined with the records). The final
// definitions fill that room in place; only when they outgrow it does the
// library move the records, which is slower but gives the same file.
#pragma once

#include <netcdf.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "netcdf/netcdf_metadata.h"

namespace vandrel {
namespace detail {

struct nc_output {
    int ncid = -1;
    std::string final_path;
    std::string temp_path;
    std::string error;  // the first failure; empty while all went well
    bool ok() const { return error.empty(); }
    // True when status is NC_NOERR; else remembers the first failure as
    // "what: nc_strerror(status)".
    bool check(int status, const char* what);
};

// Rows are buffered per column and written this many at a time.
constexpr std::size_t rows_per_write = 4096;

// Creates the file under a temporary name beside final_path, in define mode.
bool nc_begin(nc_output& f, const std::string& final_path);
// Leaves the first define mode with room for the instance variables:
// source_size / share bytes (at least 16 KiB, at most 256 MiB), so small
// inputs give small files. A file whose instance values outgrow the room
// costs the library a rewrite of its records at the end (77 s instead of
// about 1 s for the 3 GB TDR file of a 1 GB stream); the callers' shares
// cover generated streams with a margin.
bool nc_end_first_define(nc_output& f, uint64_t source_size, uint64_t share);
// Closes the file and renames it to its final name.
bool nc_commit(nc_output& f);
// Closes and removes what was begun; the first error stays.
void nc_abandon(nc_output& f);

// ---- Definitions -----------------------------------------------------------

int nc_dim(nc_output& f, const char* name, std::size_t length);
int nc_var(nc_output& f, const std::string& name, nc_type type, std::initializer_list<int> dims);
void nc_text_att(nc_output& f, int var, const char* name, const std::string& text);
void nc_double_att(nc_output& f, int var, const char* name, nc_type type, std::initializer_list<double> values);
// _FillValue: the library's default fill of the variable's type.
void nc_default_fill(nc_output& f, int var, nc_type type);
// units, long_name, standard_name (when given) and _FillValue.
void nc_describe(nc_output& f, int var, nc_type type, const char* units, const std::string& long_name,
                 const char* standard_name);
// An index of a ragged array or of another dimension: never missing, so
// without _FillValue (readers would otherwise turn it into floating point).
int nc_index_var(nc_output& f, const char* name, int dim, const std::string& long_name);
// A data variable described as above, with coordinates when given.
int nc_data_var(nc_output& f, const std::string& name, nc_type type, std::initializer_list<int> dims, const char* units,
                const std::string& long_name, const char* standard_name, const char* coordinates = nullptr);
// The time coordinate: seconds since 1970 UTC, standard calendar.
int nc_time_var(nc_output& f, const char* name, int dim, const std::string& long_name);
// Latitude and longitude variables on dim (or scalars when dim < 0).
void nc_lat_lon_vars(nc_output& f, int dim, int& lat, int& lon);
// The scalar grid mapping every file defines first (see the top).
int nc_crs_var(nc_output& f);

// Global attributes shared by every file, set at the start.
void nc_global_atts(nc_output& f, const netcdf_metadata& meta, const char* title, const char* summary,
                    const char* feature_type, const char* keywords);
// The first and last of the times seen.
struct time_span {
    bool any = false;
    double first = 0, last = 0;
    void add(double t) {
        if (!any || t < first) first = t;
        if (!any || t > last) last = t;
        any = true;
    }
};

// Global attributes known at the end: the time coverage (when any time was
// seen), the positions' origin and the geospatial bounds of the positions at
// the instances' times.
void nc_final_global_atts(nc_output& f, const netcdf_metadata& meta, const time_span& times,
                          const std::vector<double>& instance_times);

// The positions at the instances' times, written to lat and lon (scalars
// for one instance) in blocks; unknown ones are _FillValue.
void nc_put_positions(nc_output& f, int lat, int lon, const position_source& source,
                      const std::vector<double>& instance_times);

// Fills rows first..first+count-1 of a record variable of width values per
// row with fill (a variable added after rows were written).
template <class T>
void nc_fill_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, T fill);

// ---- Data -------------------------------------------------------------------

// Writes count rows of width values each at record first.
void nc_put_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, const double* v);
void nc_put_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, const float* v);
void nc_put_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, const int* v);
void nc_put_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, const short* v);
void nc_put_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, const signed char* v);

// The values of one variable on the record dimension, buffered.
template <class T>
struct nc_column {
    int var = -1;
    std::size_t width = 1;  // values per row
    std::vector<T> values;
    // Writes the buffered rows at record first and empties the buffer.
    void flush(nc_output& f, std::size_t first) {
        if (var >= 0 && !values.empty()) nc_put_rows(f, var, first, values.size() / width, width, values.data());
        values.clear();
    }
};

template <class T>
void nc_fill_rows(nc_output& f, int var, std::size_t first, std::size_t count, std::size_t width, T fill) {
    const std::vector<T> block(rows_per_write * width, fill);
    for (std::size_t done = 0; done < count && f.ok(); done += rows_per_write)
        nc_put_rows(f, var, first + done, std::min(rows_per_write, count - done), width, block.data());
}

// A whole fixed-size variable; nothing when values is empty.
template <class T>
void nc_put_all(nc_output& f, int var, const std::vector<T>& values) {
    if (var >= 0 && !values.empty()) nc_put_rows(f, var, 0, values.size(), 1, values.data());
}

// Seconds since 1970 as ISO 8601 UTC, "2021-03-04T05:06:07Z".
std::string iso_time(int64_t t);

// A valid netCDF name made from text (letters, digits and '_', beginning
// with a letter), different from every name in taken, which it joins.
std::string nc_name_from(const std::string& text, std::vector<std::string>& taken);

}  // namespace detail
}  // namespace vandrel
