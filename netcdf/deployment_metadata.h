// The deployment's own description: a text file of "name = value" lines
// whose names become global attributes of every netCDF file (and whose
// title and creator head the report), so that an archive gets the
// institution, creator, project, license, platform and instrument it asks
// for.
//
//   # Southern elephant seal, 2026 season
//   title = Elephant seal ct36-F2 post-moult trip
//   creator_name = Jane Doe
//
// Blank lines and lines whose first character (after blanks) is '#' are
// ignored. A name is a netCDF name: a letter, then letters, digits, '_',
// '.', '@', '+' or '-'; the value is the rest of the line without the
// blanks around it, UTF-8 text. The attributes the files set from their
// data (Conventions, featureType, history, date_created, time_coverage_*,
// geospatial_*) cannot be given, nor a name twice.
#pragma once

#include <string>
#include <vector>

namespace vandrel {

struct metadata_attribute {
    std::string name;
    std::string value;
};

// Reads the metadata file at path into out. False with "PATH:LINE: reason"
// (or "cannot open PATH") in error.
bool load_deployment_metadata(const std::string& path, std::vector<metadata_attribute>& out, std::string& error);

// The value of the attribute name, or empty.
std::string metadata_value(const std::vector<metadata_attribute>& attributes, const char* name);

}  // namespace vandrel
