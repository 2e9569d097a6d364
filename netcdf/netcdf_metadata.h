// What a netCDF file says about where it came from: the discovery
// attributes every file of a run shares, and the deployment's positions.
#pragma once

#include <cstdint>
#include <string>

#include <vector>

#include "netcdf/deployment_metadata.h"
#include "netcdf/positions.h"

namespace vandrel {

struct netcdf_metadata {
    std::string source_name;   // input file name as given on the command line
    uint64_t source_size = 0;  // bytes
    std::string history;       // the command line
    int64_t date_created = 0;  // seconds since 1970 UTC
    std::string version;       // e.g. "vandrel 2.1.0"
    position_source positions;
    std::vector<metadata_attribute> attributes;  // the deployment's, from --metadata
};

}  // namespace vandrel
