#include "table_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host.h"
#include "width_table.h"

namespace fs = std::filesystem;

namespace {

const char *reason(int error) { return error > 0 ? std::strerror(error) : "write error"; }

std::string cannot(const char *what, const std::string &name, int error) {
    return std::string("cannot ") + what + " '" + name + "': " + reason(error);
}

// The file `name` leads to through its symlinks, each read against the folder
// of the link that holds it; the last link where they go on too long. Empty
// where a link on the way may have been planted (`planted` names it).
fs::path through_symlinks(const fs::path &name, std::string &planted) {
    fs::path path = name;
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++hops) {
        if (link_is_planted(path.string())) {
            planted = path.string();
            return fs::path();
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

// The folder that holds `path`, as the user knows it.
std::string folder_of(const std::string &path) {
    std::error_code error;
    fs::path folder = fs::path(path).parent_path();
    const fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, error);
    if (!error) folder = absolute.lexically_normal();
    const std::string name = folder.string();
    return name.size() > 1 && name.back() == '/' ? name.substr(0, name.size() - 1) : name;
}

}  // namespace

std::string open_table(TableFile &table) {
    std::error_code error;
    // A table that leads to a device, a pipe or another file that is not a
    // regular one is written in place; what its links say need not be a path
    // (/dev/stdout leads to "pipe:[N]").
    const fs::file_status status = fs::status(kTableName, error);
    if (status.type() != fs::file_type::not_found && !fs::is_regular_file(status) &&
        !fs::is_directory(status) && !error) {
        table.path = kTableName;
        table.stream = std::fopen(kTableName, kTableMode);
        return table.stream ? std::string() : cannot("open", kTableName, errno);
    }
    std::string planted;
    table.path = through_symlinks(kTableName, planted).string();
    if (!planted.empty())
        return std::string("cannot open '") + kTableName + "': the symlink '" + planted +
               "' lies in a shared folder (sticky and writable by all) and was made by " +
               "neither you nor the folder's owner: it is not followed";
    // A table made read-only stays as it is, as opening it for writing would
    // leave it.
    if (!may_write(table.path)) return cannot("open", kTableName, errno);
    const fs::file_status target = fs::symlink_status(table.path, error);
    if (fs::is_directory(target)) return cannot("open", kTableName, EISDIR);
    table.stream = create_beside(table.path, table.temporary);
    if (!table.stream) {
        const int create_error = errno;
        return "cannot create the temporary file '" + fs::path(table.path).filename().string() +
               ".XXXXXX' in the folder '" + folder_of(table.path) + "': " + reason(create_error);
    }
    remove_if_unfinished(table.stream, table.temporary);
    return std::string();
}

std::string close_table(TableFile &table) {
    // A full disk shows at the latest when the last rows are flushed; errno
    // then holds the reason, which is gone once the stream is closed.
    errno = 0;
    const bool written = std::fflush(table.stream) == 0 && !std::ferror(table.stream);
    const int write_error = errno;
    errno = 0;
    const bool closed = std::fclose(table.stream) == 0;
    const int close_error = errno;
    table.stream = nullptr;
    std::string failure;
    if (!written) {
        failure = cannot("write", kTableName, write_error);
    } else if (!closed) {
        failure = cannot("close", kTableName, close_error);
    } else if (!table.temporary.empty() && !replace_with(table.temporary, table.path)) {
        failure =
            "cannot move '" + table.temporary + "' over '" + table.path + "': " + reason(errno);
    } else {
        forget_unfinished();
        return failure;
    }
    if (!table.temporary.empty()) std::remove(table.temporary.c_str());
    forget_unfinished();
    return failure;
}

void discard_table(TableFile &table) {
    if (table.stream) std::fclose(table.stream);
    table.stream = nullptr;
    if (!table.temporary.empty()) std::remove(table.temporary.c_str());
    forget_unfinished();
}
