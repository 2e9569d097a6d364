#include "netcdf/column_scratch.h"

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/file_names.h"

namespace vandrel {
namespace detail {

std::string column_scratch::path_of(int id) const { return folder_ + "/" + std::to_string(id); }

bool column_scratch::fail(const char* what, int id) {
    if (error_.empty()) error_ = std::string(what) + " " + path_of(id) + ": " + std::strerror(errno);
    return false;
}

bool column_scratch::append(int& id, const void* data, std::size_t bytes) {
    if (id < 0) {
        const int next = static_cast<int>(files_.size());
        errno = 0;
        if (!folder_made_ && (folder_.empty() || !make_folder(folder_))) return fail("cannot make", next);
        folder_made_ = true;
        std::FILE* file = open_stream(path_of(next), "w+b");
        if (file == nullptr) return fail("cannot create", next);
        // Whole blocks are written and read: the stream needs no buffer.
        std::setvbuf(file, nullptr, _IONBF, 0);
        files_.push_back(file);
        id = next;
    }
    std::FILE* file = files_[static_cast<std::size_t>(id)];
    errno = 0;
    if (file == nullptr || std::fwrite(data, 1, bytes, file) != bytes) return fail("cannot write", id);
    return true;
}

bool column_scratch::start_reading(int id) {
    std::FILE* file = files_[static_cast<std::size_t>(id)];
    errno = 0;
    if (file == nullptr || std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) return fail("cannot read", id);
    return true;
}

bool column_scratch::read(int id, void* data, std::size_t bytes) {
    std::FILE* file = files_[static_cast<std::size_t>(id)];
    errno = 0;
    if (file == nullptr || std::fread(data, 1, bytes, file) != bytes) {
        if (errno == 0) errno = EIO;  // the file is shorter than what was written to it
        return fail("cannot read", id);
    }
    return true;
}

void column_scratch::remove(int id) {
    std::FILE*& file = files_[static_cast<std::size_t>(id)];
    if (file == nullptr) return;
    std::fclose(file);
    file = nullptr;
    remove_file(path_of(id));
}

void column_scratch::remove_all() {
    for (std::size_t id = 0; id < files_.size(); ++id) remove(static_cast<int>(id));
    files_.clear();
    if (folder_made_) remove_folder(folder_);
    folder_made_ = false;
}

}  // namespace detail
}  // namespace vandrel
