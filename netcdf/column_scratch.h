// Scratch files for the columns of one output file. The columns of a table
// are gathered until the end of the input (see nc_file.h); what does not
// fit in their memory blocks goes to one scratch file per column, in a
// folder beside the output made on first use. The files are removed as
// soon as they have been copied, and all of them (with the folder) when the
// output is completed or abandoned, or when this object goes away.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace vandrel {
namespace detail {

class column_scratch {
public:
    column_scratch() = default;
    ~column_scratch() { remove_all(); }
    column_scratch(const column_scratch&) = delete;
    column_scratch& operator=(const column_scratch&) = delete;

    // The folder the files go to; set before the first append.
    void set_folder(std::string folder) { folder_ = std::move(folder); }

    // Appends bytes to file id; with id -1 a new file is made first and id
    // set to it. False on failure, with the reason in error().
    bool append(int& id, const void* data, std::size_t bytes);
    // Reads file id from its beginning, bytes at a time: start_reading once,
    // then read until all was read. False (error() set) on a short read.
    bool start_reading(int id);
    bool read(int id, void* data, std::size_t bytes);
    // Closes and deletes file id.
    void remove(int id);
    // Closes and deletes every file and the folder.
    void remove_all();

    const std::string& error() const { return error_; }

private:
    std::string path_of(int id) const;
    bool fail(const char* what, int id);

    std::string folder_;
    bool folder_made_ = false;
    std::vector<std::FILE*> files_;  // by id; null once removed
    std::string error_;              // the first failure
};

}  // namespace detail
}  // namespace vandrel
