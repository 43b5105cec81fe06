// The table's file. It is written under a fresh name beside its place and moved
// over dump_metrics12.csv only when complete, so that a run that fails or is
// interrupted leaves the previous table as it was, never a torn one. Where
// dump_metrics12.csv is a symlink to a regular file (or to nothing yet), the
// file it leads to is the one replaced, unless the link is one that another
// user may have planted in a shared folder; where it is, or leads to, a
// device or anything else not a regular file, it is written in place.
#ifndef DUMP_METRICS12_TABLE_FILE_H
#define DUMP_METRICS12_TABLE_FILE_H

#include <cstdio>
#include <string>

struct TableFile {
    std::FILE *stream = nullptr;
    std::string path;  // the file the table ends up in
    std::string temporary;  // the name it is written under; empty where written in place
};

// Opens the table for writing. Empty, or what failed and why, as one line
// says it: "cannot open 'dump_metrics12.csv': Permission denied".
std::string open_table(TableFile &table);

// Flushes and closes the stream and moves the file into place. Empty, or
// what failed and why ("cannot write 'dump_metrics12.csv': No space left on
// device"); the unfinished file is then removed.
std::string close_table(TableFile &table);

// Closes the stream and removes the unfinished file, leaving the previous
// table as it was: the run has failed.
void discard_table(TableFile &table);

#endif  // DUMP_METRICS12_TABLE_FILE_H
