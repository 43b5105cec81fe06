#include "table_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "host.h"
#include "width_table.h"

namespace fs = std::filesystem;

namespace {

// The file `name` leads to through its symlinks, each read against the folder
// of the link that holds it; the last link where they go on too long.
fs::path through_symlinks(const fs::path &name) {
    fs::path path = name;
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++hops) {
        const fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

}  // namespace

int open_table(TableFile &table) {
    table.path = through_symlinks(kTableName).string();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(table.path, error);
    const bool replaceable =
        fs::is_regular_file(status) || status.type() == fs::file_type::not_found;
    if (!replaceable) {
        table.path = kTableName;
        table.stream = std::fopen(kTableName, kTableMode);
        return table.stream ? 0 : errno;
    }
    table.stream = create_beside(table.path, table.temporary);
    if (!table.stream) return errno;
    remove_if_unfinished(table.stream, table.temporary);
    return 0;
}

int close_table(TableFile &table, const char *&failed) {
    // A full disk shows at the latest when the last rows are flushed; errno
    // then holds the reason, which is gone once the stream is closed.
    errno = 0;
    const bool written = std::fflush(table.stream) == 0 && !std::ferror(table.stream);
    int error = errno;
    const bool closed = std::fclose(table.stream) == 0;
    table.stream = nullptr;
    if (!written) {
        failed = "write";
    } else if (!closed) {
        failed = "close";
        error = errno;
    } else if (!table.temporary.empty() && !replace_with(table.temporary, table.path)) {
        failed = "replace";
        error = errno;
    } else {
        forget_unfinished();
        return 0;
    }
    if (!table.temporary.empty()) std::remove(table.temporary.c_str());
    forget_unfinished();
    return error == 0 ? -1 : error;
}
