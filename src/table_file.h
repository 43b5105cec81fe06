// The table's file. It is written under a fresh name beside its place and moved
// over dump_metrics12.csv only when complete, so that a run that fails or is
// interrupted leaves the previous table as it was, never a torn one. Where
// dump_metrics12.csv is a symlink, the file it leads to is the one replaced;
// where it is a device or anything else not a regular file, it is written in
// place, as it stands.
#ifndef DUMP_METRICS12_TABLE_FILE_H
#define DUMP_METRICS12_TABLE_FILE_H

#include <cstdio>
#include <string>

struct TableFile {
    std::FILE *stream = nullptr;
    std::string path;  // the file the table ends up in
    std::string temporary;  // the name it is written under; empty where written in place
};

// Opens the table for writing. 0, or the errno of the failure.
int open_table(TableFile &table);

// Flushes and closes the stream and moves the file into place. 0, or the
// errno of the step that failed (-1 where the system gave none), which
// `failed` names ("write", "close" or "replace"); the unfinished file is then
// removed.
int close_table(TableFile &table, const char *&failed);

#endif  // DUMP_METRICS12_TABLE_FILE_H
