// The columns of the dive table, declared once for every writer of dives:
// the text table prints those with a header, in this order; the netCDF file
// stores every column as a variable; the report shows those with a label.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dives/dive_record.h"

namespace vandrel {

enum class dive_value {
    count,   // a whole number
    time,    // seconds since 1970 UTC, printed as the TDR table prints times
    number,  // printed with `decimals` decimals, "NA" when it does not exist
    depth,   // metres, with 1 decimal, or 3 for a dive in millimetre counts
    flag,    // 0 or 1, printed "Y" or "N"
};

struct dive_column {
    const char* header;  // the text table's column; nullptr: not in the text table
    const char* label;   // the report's column; nullptr: not in the report
    const char* name;    // the netCDF variable
    const char* units;   // UDUNITS-2 units; nullptr for times
    const char* long_name;
    dive_value kind;
    int decimals;  // of a number
    double (*get)(const dive_record&);
};

// Decimals of a dive's depths: its counts' unit is a decimetre, or a
// millimetre in regime 5.
constexpr int depth_decimals(const dive_record& d) { return d.depth_unit < 0.01 ? 3 : 1; }

inline double max_depth_metres(const dive_record& d) { return static_cast<double>(d.max_depth_counts) * d.depth_unit; }

inline const dive_column dive_columns[] = {
    {"DIVE", "Dive", "dive_number", "1", "dive number, from 1 over the stream", dive_value::count, 0,
     [](const dive_record& d) { return static_cast<double>(d.number); }},
    {nullptr, "Run", "dive_run", "1", "index of the dive's run in dimension run of the events file", dive_value::count,
     0, [](const dive_record& d) { return static_cast<double>(d.run); }},
    {"START (UTC)", "Start (UTC)", "dive_start_time", nullptr, "start of the dive", dive_value::time, 0,
     [](const dive_record& d) { return d.start_time; }},
    {"END (UTC)", nullptr, "dive_end_time", nullptr, "end of the dive", dive_value::time, 0,
     [](const dive_record& d) { return d.end_time; }},
    {"DURATION (s)", "Duration (s)", "dive_duration", "s", "duration of the dive", dive_value::number, 2,
     [](const dive_record& d) { return d.duration; }},
    {"MAX_DEPTH (m)", "Max depth (m)", "dive_max_depth", "m", "greatest depth of the dive", dive_value::depth, 1,
     max_depth_metres},
    {"MAX_DEPTH_TIME (UTC)", nullptr, "dive_max_depth_time", nullptr, "time of the first sample at the greatest depth",
     dive_value::time, 0, [](const dive_record& d) { return d.max_depth_time; }},
    {nullptr, nullptr, "dive_samples", "1", "samples in the dive", dive_value::count, 0,
     [](const dive_record& d) { return static_cast<double>(d.samples); }},
    {"BOTTOM_TIME (s)", "Bottom time (s)", "dive_bottom_time", "s", "time spent at the bottom", dive_value::number, 2,
     [](const dive_record& d) { return d.bottom_time; }},
    {"BOTTOM_DEPTH_MEAN (m)", nullptr, "dive_bottom_depth_mean", "m", "mean depth at the bottom", dive_value::number, 2,
     [](const dive_record& d) { return d.bottom_depth_mean; }},
    {"DESCENT_TIME (s)", nullptr, "dive_descent_time", "s", "duration of the descent", dive_value::number, 2,
     [](const dive_record& d) { return d.descent_time; }},
    {"DESCENT_RATE (m/s)", "Descent rate (m/s)", "dive_descent_rate", "m s-1", "rate of descent", dive_value::number, 3,
     [](const dive_record& d) { return d.descent_rate; }},
    {"ASCENT_TIME (s)", nullptr, "dive_ascent_time", "s", "duration of the ascent", dive_value::number, 2,
     [](const dive_record& d) { return d.ascent_time; }},
    {"ASCENT_RATE (m/s)", "Ascent rate (m/s)", "dive_ascent_rate", "m s-1", "rate of ascent", dive_value::number, 3,
     [](const dive_record& d) { return d.ascent_rate; }},
    {"TEMP_MEAN (C)", nullptr, "dive_temperature_mean", "degree_C", "mean temperature of the dive", dive_value::number,
     2, [](const dive_record& d) { return d.temp_mean; }},
    {"POSTDIVE (s)", "Post-dive (s)", "dive_postdive", "s", "time to the next dive of the run", dive_value::number, 2,
     [](const dive_record& d) { return d.postdive; }},
    {"COMPLETE", "Complete", "dive_complete", "1",
     "1 when the dive is neither the first nor the last sample of its run", dive_value::flag, 0,
     [](const dive_record& d) { return d.complete ? 1.0 : 0.0; }},
};
constexpr std::size_t dive_column_count = sizeof dive_columns / sizeof dive_columns[0];

}  // namespace vandrel
