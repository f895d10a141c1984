// tqvconvert's work: read a manifest that describes the series of one
// database, read their CSV files, and build the database that dbfile.h
// writes. The manifest format is described in docs/database-format.md.
#ifndef TQVCONVERT_CONVERT_H
#define TQVCONVERT_CONVERT_H

#include "dbfile.h"
#include "store.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tqvconvert {

/** How the rows of a CSV file are dated. */
enum class Dating { None, Time, Date, Start };

/** One `series ... end` block of a manifest. */
struct SeriesEntry {
    int line = 0; // manifest line of `series`, for messages
    std::string code;
    std::string file;   // CSV path, relative to the data folder unless absolute
    std::string column; // header name of the value column
    int frequency = 0;  // frequency of the stored series
    int rows = 0;       // frequency of the CSV rows; 0: same as frequency
    Dating dating = Dating::None;
    std::string dateColumn; // for Time and Date
    int start = 0;          // for Start: period date of the first row
    bool hasAttributes = false;
    int attributes[6] = {0, 0, 0, 0, 0, 0};
    std::string texts[7];
};

struct Manifest {
    std::string database;
    std::vector<SeriesEntry> series;
};

/** A CSV file: header names and data rows, quotes removed. */
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<int> lines; // file line of each row, for messages
};

/** Reads a manifest. Messages read "ORIGIN:LINE: ...". */
bool parseManifest(const std::string &text, const std::string &origin, Manifest &out,
                   std::string &error);

/** Reads CSV text: comma-separated, optional double quotes ("" inside a
 *  quoted field is one quote), LF or CRLF, empty lines skipped, every row as
 *  wide as the header. Messages read "ORIGIN:LINE: ...". */
bool parseCsv(const std::string &text, const std::string &origin, CsvTable &out,
              std::string &error);

/** Builds one series from its manifest entry and its file's table; `origin` names the
 *  file in messages. */
bool buildSeries(const SeriesEntry &entry, const CsvTable &table, const std::string &origin,
                 tqvs::Series &out, std::string &error);

/** Builds the whole database, reading each series' file from `dataDir`
 *  (relative paths) through the file system. */
bool buildDatabase(const Manifest &manifest, const std::string &dataDir, tqvs::Database &out,
                   std::string &error);

/** What the tool reads of a manifest or CSV file: lines of at most 1 MiB,
 *  files of at most 256 MiB. */
constexpr tqvs::ReadLimits kSourceLimits = {std::size_t{256} << 20, std::size_t{1} << 20};

/** Reads a whole file within the limits; false with a one-line message
 *  "PATH: ..." when it is a folder, cannot be opened or read, or goes past a
 *  limit (a device or pipe that never ends). */
bool readFile(const std::string &path, std::string &text, std::string &error,
              const tqvs::ReadLimits &limits = kSourceLimits);

/** The CSV path of a series: its file, inside `dataDir` when relative. */
std::string csvPath(const SeriesEntry &entry, const std::string &dataDir);

/** Reads and validates a database file. True with a one-line summary, or
 *  false with the first problem as "PATH:LINE: ..." ("PATH: ..." when it is
 *  about the whole file). */
bool checkDatabaseFile(const std::string &path, std::string &summary, std::string &error);

/** The whole program: `[--data-dir DIR] MANIFEST OUTPUT`, `check FILE`,
 *  `--help`. Returns the exit status: 0, 1 on an error (one line on err,
 *  OUTPUT unchanged), 2 on a usage error. OUTPUT must be a new path or a
 *  regular file that is none of the inputs. */
int runTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace tqvconvert

#endif
