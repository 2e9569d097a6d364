#include "netcdf/nc_file.h"

#include <algorithm>
#include <cmath>

#include "platform/atomic_file.h"
#include "platform/civil_time.h"
#include "platform/file_advice.h"
#include "platform/file_names.h"
#include "platform/number_format.h"

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#endif

namespace vandrel {
namespace detail {

namespace {

// The temporary name: beside the final one, with the file name reduced to
// ASCII. On Windows the library reads file names in the ANSI code page, so
// it is handed only this ASCII name, relative to the folder (see
// create_file).
std::string temporary_name(const std::string& final_path) {
    const std::size_t slash = final_path.find_last_of("/\\");
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    std::string ascii = final_path.substr(0, name_start);
    for (std::size_t i = name_start; i < final_path.size(); ++i) {
        const auto c = static_cast<unsigned char>(final_path[i]);
        ascii.push_back(c < 0x80 ? static_cast<char>(c) : '_');
    }
    return temporary_path_for(ascii);
}

// The library's own I/O buffer, a page of the file: the columns' blocks of
// a megabyte go to different parts of the file, each page read (or
// zeroed beyond the end) and written back when the next block goes
// elsewhere, so pages smaller than a block waste little.
constexpr std::size_t io_buffer_bytes = std::size_t{256} << 10;

int create_here(const std::string& path, int mode, int* ncid) {
    std::size_t chunk = io_buffer_bytes;
    return nc__create(path.c_str(), mode, 0, &chunk, ncid);
}

#ifdef _WIN32
// The folder may have any name; the library is given the file's ASCII name
// relative to it as the current directory, which is restored at once.
int create_file(const std::string& path, int mode, int* ncid) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return create_here(path, mode, ncid);
    wchar_t* saved = _wgetcwd(nullptr, 0);
    if (saved == nullptr) return NC_ENOMEM;
    const std::string folder = slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    int status = NC_EPERM;
    if (_wchdir(widen(folder).c_str()) == 0) {
        status = create_here(path.substr(slash + 1), mode, ncid);
        if (_wchdir(saved) != 0 && status == NC_NOERR) {
            nc_abort(*ncid);
            status = NC_EPERM;
        }
    } else {
        status = ENOENT;
    }
    free(saved);
    return status;
}
#else
int create_file(const std::string& path, int mode, int* ncid) { return create_here(path, mode, ncid); }
#endif

}  // namespace

bool nc_output::check(int status, const char* what) {
    if (status == NC_NOERR) return true;
    if (error.empty()) error = std::string(what) + ": " + nc_strerror(status);
    return false;
}

bool nc_begin(nc_output& f, const std::string& final_path) {
    f.final_path = final_path;
    f.temp_path = temporary_name(final_path);
    if (!f.check(create_file(f.temp_path, NC_CLOBBER | NC_64BIT_OFFSET, &f.ncid), "nc_create")) {
        f.ncid = -1;
        return false;
    }
    // The library reads every page before writing it: pages not yet
    // written are read alone, not with the file's next megabytes.
    read_at_random(f.temp_path);
    int old_mode = 0;
    return f.check(nc_set_fill(f.ncid, NC_NOFILL, &old_mode), "nc_set_fill");
}

void nc_start_writing(nc_output& f) {
    f.writing = true;
    for (nc_column_base* c : f.columns) c->start_writing();
}

bool nc_end_define(nc_output& f) {
    const int zero = 0;
    return f.ok() && f.check(nc_enddef(f.ncid), "nc_enddef") &&
           (f.crs < 0 || f.check(nc_put_var_int(f.ncid, f.crs, &zero), "nc_put_var"));
}

bool nc_commit(nc_output& f) {
    if (f.ncid < 0) return false;
    for (nc_column_base* c : f.columns)
        if (f.ok()) c->complete();
    const int ncid = f.ncid;
    f.ncid = -1;
    const bool closed = f.check(nc_close(ncid), "nc_close");
    if (closed && f.ok() && replace_file(f.temp_path, f.final_path)) return true;
    if (f.ok()) f.error = "cannot rename " + f.temp_path + " to " + f.final_path;
    remove_file(f.temp_path);
    return false;
}

void nc_abandon(nc_output& f) {
    if (f.ncid >= 0) nc_abort(f.ncid);
    f.ncid = -1;
    if (!f.temp_path.empty()) remove_file(f.temp_path);
}

int nc_dim(nc_output& f, const char* name, std::size_t length) {
    int id = -1;
    if (f.ok()) f.check(nc_def_dim(f.ncid, name, length, &id), "nc_def_dim");
    return id;
}

int nc_sized_dim(nc_output& f, const char* name, std::size_t length) {
    return nc_dim(f, name, length == 0 ? NC_UNLIMITED : length);
}

int nc_var(nc_output& f, const std::string& name, nc_type type, std::initializer_list<int> dims) {
    int id = -1;
    if (f.ok()) {
        const std::vector<int> ids(dims);
        f.check(nc_def_var(f.ncid, name.c_str(), type, static_cast<int>(ids.size()), ids.data(), &id), "nc_def_var");
    }
    return id;
}

void nc_text_att(nc_output& f, int var, const char* name, const std::string& text) {
    if (f.ok()) f.check(nc_put_att_text(f.ncid, var, name, text.size(), text.c_str()), "nc_put_att_text");
}

void nc_double_att(nc_output& f, int var, const char* name, nc_type type, std::initializer_list<double> values) {
    if (f.ok()) {
        const std::vector<double> v(values);
        f.check(nc_put_att_double(f.ncid, var, name, type, v.size(), v.data()), "nc_put_att");
    }
}

void nc_default_fill(nc_output& f, int var, nc_type type) {
    switch (type) {
        case NC_BYTE:
            nc_double_att(f, var, "_FillValue", type, {NC_FILL_BYTE});
            break;
        case NC_SHORT:
            nc_double_att(f, var, "_FillValue", type, {NC_FILL_SHORT});
            break;
        case NC_INT:
            nc_double_att(f, var, "_FillValue", type, {NC_FILL_INT});
            break;
        case NC_FLOAT:
            nc_double_att(f, var, "_FillValue", type, {NC_FILL_FLOAT});
            break;
        default:
            nc_double_att(f, var, "_FillValue", type, {NC_FILL_DOUBLE});
            break;
    }
}

void nc_describe(nc_output& f, int var, nc_type type, const char* units, const std::string& long_name,
                 const char* standard_name, bool with_fill) {
    if (units != nullptr) nc_text_att(f, var, "units", units);
    nc_text_att(f, var, "long_name", long_name);
    if (standard_name != nullptr) nc_text_att(f, var, "standard_name", standard_name);
    if (with_fill) nc_default_fill(f, var, type);
    // ACDD's kind of content: measurements are floating point; integers
    // describe them (counts, regimes, identifiers) unless said otherwise.
    const bool real = type == NC_FLOAT || type == NC_DOUBLE;
    nc_text_att(f, var, "coverage_content_type", real ? "physicalMeasurement" : "auxiliaryInformation");
}

int nc_index_var(nc_output& f, const char* name, int dim, const std::string& long_name) {
    const int var = nc_var(f, name, NC_INT, {dim});
    nc_text_att(f, var, "long_name", long_name);
    nc_text_att(f, var, "coverage_content_type", "referenceInformation");
    return var;
}

int nc_data_var(nc_output& f, const std::string& name, nc_type type, std::initializer_list<int> dims, const char* units,
                const std::string& long_name, const char* standard_name, const std::string& coordinates,
                bool with_fill) {
    const int var = nc_var(f, name, type, dims);
    nc_describe(f, var, type, units, long_name, standard_name, with_fill);
    if (!coordinates.empty()) nc_text_att(f, var, "coordinates", coordinates);
    // Values at latitudes and longitudes: of the file's datum.
    if (coordinates.find("lat lon") != std::string::npos) nc_text_att(f, var, "grid_mapping", "crs");
    return var;
}

int nc_flag_var(nc_output& f, const char* name, int dim, const std::string& long_name, const char* meanings,
                const std::string& coordinates, bool with_fill) {
    const int var = nc_data_var(f, name, NC_SHORT, {dim}, nullptr, long_name, nullptr, coordinates, with_fill);
    nc_double_att(f, var, "flag_values", NC_SHORT, {0, 1});
    nc_text_att(f, var, "flag_meanings", meanings);
    return var;
}

int nc_time_var(nc_output& f, const char* name, int dim, const std::string& long_name) {
    const int var = nc_var(f, name, NC_DOUBLE, {dim});
    nc_describe(f, var, NC_DOUBLE, "seconds since 1970-01-01T00:00:00Z", long_name, "time", false);
    nc_text_att(f, var, "calendar", "standard");
    nc_text_att(f, var, "coverage_content_type", "coordinate");
    return var;
}

void nc_lat_lon_vars(nc_output& f, int dim, bool with_fill, int& lat, int& lon, nc_type type) {
    f.crs = nc_var(f, "crs", NC_INT, {});
    nc_text_att(f, f.crs, "grid_mapping_name", "latitude_longitude");
    nc_text_att(f, f.crs, "long_name", "coordinate reference system: WGS 84");
    nc_double_att(f, f.crs, "semi_major_axis", NC_DOUBLE, {6378137.0});
    nc_double_att(f, f.crs, "inverse_flattening", NC_DOUBLE, {298.257223563});
    const bool scalar = dim < 0;
    lat = scalar ? nc_var(f, "lat", type, {}) : nc_var(f, "lat", type, {dim});
    nc_describe(f, lat, type, "degrees_north", "latitude", "latitude", with_fill);
    nc_text_att(f, lat, "axis", "Y");
    nc_text_att(f, lat, "coverage_content_type", "coordinate");
    lon = scalar ? nc_var(f, "lon", type, {}) : nc_var(f, "lon", type, {dim});
    nc_describe(f, lon, type, "degrees_east", "longitude", "longitude", with_fill);
    nc_text_att(f, lon, "axis", "X");
    nc_text_att(f, lon, "coverage_content_type", "coordinate");
}

nc_feature sample_feature(const position_source& positions) {
    switch (positions.kind) {
        case position_source::fixed:
            return nc_feature::time_series;
        case position_source::track:
            return nc_feature::trajectory;
        default:
            return nc_feature::none;
    }
}

nc_feature profile_feature(const position_source& positions) {
    return positions.kind == position_source::none ? nc_feature::none : nc_feature::profile;
}

namespace {

// The featureType and the matching ACDD cdm_data_type.
const char* feature_type_name(nc_feature feature) {
    switch (feature) {
        case nc_feature::time_series:
            return "timeSeries";
        case nc_feature::trajectory:
            return "trajectory";
        default:
            return "profile";
    }
}

const char* cdm_data_type(nc_feature feature) {
    switch (feature) {
        case nc_feature::time_series:
            return "Station";
        case nc_feature::trajectory:
            return "Trajectory";
        default:
            return "Profile";
    }
}

const char* positions_text(position_source::kind_t kind) {
    switch (kind) {
        case position_source::fixed:
            return "fixed: one deployment position";
        case position_source::track:
            return "track: interpolated linearly in time between fixes; unknown (_FillValue) outside the track";
        default:
            return "unknown: no deployment position (--position LAT,LON) or track (--track FILE) was given, so the "
                   "file has no latitude, longitude or featureType";
    }
}

// A number as text: whole, or with up to six decimals without trailing
// zeros.
std::string number_text(double s) {
    char text[max_fixed_chars];
    std::string t(text, format_fixed(text, s, 6));
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
    return t;
}

// The positions' extent as WKT in the axis order of EPSG:4326 (latitude,
// longitude): a point, or the box around them.
std::string wkt_bounds(const position_bounds& b) {
    const auto at = [](double lat, double lon) { return number_text(lat) + " " + number_text(lon); };
    if (b.lat_min == b.lat_max && b.lon_min == b.lon_max) return "POINT (" + at(b.lat_min, b.lon_min) + ")";
    const std::string first = at(b.lat_min, b.lon_min);
    return "POLYGON ((" + first + ", " + at(b.lat_max, b.lon_min) + ", " + at(b.lat_max, b.lon_max) + ", " +
           at(b.lat_min, b.lon_max) + ", " + first + "))";
}

}  // namespace

std::string iso_duration(double seconds) {
    if (!(seconds >= 0) || seconds > 1e15) seconds = 0;
    const auto whole = static_cast<int64_t>(std::floor(seconds));
    const int64_t days = whole / 86400, hours = whole % 86400 / 3600, minutes = whole % 3600 / 60;
    std::string out = "P";
    if (days > 0) out += std::to_string(days) + "D";
    out += "T";
    if (hours > 0) out += std::to_string(hours) + "H";
    if (minutes > 0) out += std::to_string(minutes) + "M";
    return out + number_text(seconds - static_cast<double>(whole - whole % 60)) + "S";
}

void nc_global_atts(nc_output& f, const netcdf_metadata& meta, const nc_description& what, nc_feature feature,
                    bool positional, const nc_coverage& coverage) {
    char size_text[32];
    const std::string size(size_text, format_uint(size_text, meta.source_size));
    std::string title = std::string(what.title) + " from " + meta.source_name;
    std::string keywords = what.keywords;
    for (const metadata_attribute& a : meta.attributes) {
        // The deployment's title names every file; the file's own says what
        // it holds. Keywords add to the file's own.
        if (a.name == "title") title = std::string(a.value).append(": ").append(title);
        if (a.name == "keywords") keywords += ", " + a.value;
    }
    const std::pair<const char*, std::string> atts[] = {
        {"Conventions", "CF-1.10, ACDD-1.3"},
        {"title", title},
        {"summary", what.summary},
        {"source", meta.source_name + " (" + size + " bytes)"},
        {"history", meta.history},
        {"date_created", iso_time(meta.date_created)},
        {"product_version", meta.version},
        {"keywords", keywords},
        {"standard_name_vocabulary", "CF Standard Name Table v79"},
        {"processing_level", "decoded logger data in engineering units, not quality controlled"},
    };
    for (const auto& att : atts) nc_text_att(f, NC_GLOBAL, att.first, att.second);
    if (feature != nc_feature::none) {
        nc_text_att(f, NC_GLOBAL, "featureType", feature_type_name(feature));
        nc_text_att(f, NC_GLOBAL, "cdm_data_type", cdm_data_type(feature));
    }
    const time_span& times = coverage.times;
    if (times.any) {
        const auto first = static_cast<int64_t>(std::floor(times.first));
        const auto last = static_cast<int64_t>(std::ceil(times.last));
        nc_text_att(f, NC_GLOBAL, "time_coverage_start", iso_time(first));
        nc_text_att(f, NC_GLOBAL, "time_coverage_end", iso_time(last));
        nc_text_att(f, NC_GLOBAL, "time_coverage_duration", iso_duration(static_cast<double>(last - first)));
        if (times.step < HUGE_VAL) nc_text_att(f, NC_GLOBAL, "time_coverage_resolution", iso_duration(times.step));
    }
    if (positional) nc_text_att(f, NC_GLOBAL, "positions", positions_text(meta.positions.kind));
    const position_bounds& bounds = coverage.bounds;
    if (bounds.lat_min <= bounds.lat_max) {
        nc_double_att(f, NC_GLOBAL, "geospatial_lat_min", NC_DOUBLE, {bounds.lat_min});
        nc_double_att(f, NC_GLOBAL, "geospatial_lat_max", NC_DOUBLE, {bounds.lat_max});
        nc_double_att(f, NC_GLOBAL, "geospatial_lon_min", NC_DOUBLE, {bounds.lon_min});
        nc_double_att(f, NC_GLOBAL, "geospatial_lon_max", NC_DOUBLE, {bounds.lon_max});
        nc_text_att(f, NC_GLOBAL, "geospatial_lat_units", "degrees_north");
        nc_text_att(f, NC_GLOBAL, "geospatial_lon_units", "degrees_east");
        nc_text_att(f, NC_GLOBAL, "geospatial_bounds", wkt_bounds(bounds));
        nc_text_att(f, NC_GLOBAL, "geospatial_bounds_crs", "EPSG:4326");
    }
    const vertical_span& v = coverage.vertical;
    if (what.vertical_units != nullptr && v.min <= v.max) {
        nc_double_att(f, NC_GLOBAL, "geospatial_vertical_min", NC_DOUBLE, {v.min});
        nc_double_att(f, NC_GLOBAL, "geospatial_vertical_max", NC_DOUBLE, {v.max});
        nc_text_att(f, NC_GLOBAL, "geospatial_vertical_positive", "down");
        nc_text_att(f, NC_GLOBAL, "geospatial_vertical_units", what.vertical_units);
    }
    for (const metadata_attribute& a : meta.attributes)
        if (a.name != "title" && a.name != "keywords") nc_text_att(f, NC_GLOBAL, a.name.c_str(), a.value);
}

void nc_put_block(nc_output& f, int var, std::size_t first, std::size_t n, const void* data) {
    if (f.ok() && n > 0) f.check(nc_put_vara(f.ncid, var, &first, &n, data), "nc_put_vara");
}

std::string iso_time(int64_t t) {
    char text[40];
    char* end = format_utc(text, t, '-');
    text[10] = 'T';
    *end++ = 'Z';
    return std::string(text, end);
}

std::string nc_name_from(const std::string& text, std::vector<std::string>& taken) {
    std::string name;
    for (const char c : text) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (word) {
            name.push_back(c);
        } else if (!name.empty() && name.back() != '_') {
            name.push_back('_');
        }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    if (name.empty() || !((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z')))
        name = "channel_" + name;
    std::string unique = name;
    for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n)
        unique = name + "_" + std::to_string(n);
    taken.push_back(unique);
    return unique;
}

}  // namespace detail
}  // namespace vandrel
