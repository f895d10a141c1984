// The stand-ins' database file (.tqvdb): a line-based text file holding one
// database, written by tqvconvert and read when a database is opened. The
// format is described in docs/database-format.md.
#ifndef TQVS_DBFILE_H
#define TQVS_DBFILE_H

#include "Kovrap.h"
#include "internal_api.h"
#include "store.h"
#include "tqv_standin.h"

#include <cstddef>
#include <iosfwd>
#include <string>

namespace tqvs {

/** Magic word and version of the first line of a database file. */
constexpr const char *kDbMagic = "TQVDB";
constexpr int kDbVersion = 1;

/** Longest database name in a file. */
constexpr std::size_t kMaxDatabaseName = 255;

/** Bounds on what a reader takes from one file: a source that never ends
 *  (a device, a pipe) must end in a refusal, not in exhausted memory. */
struct ReadLimits {
    std::size_t fileBytes;
    std::size_t lineBytes;
};

/** Database files: a large database, and values lines of any sensible length. */
constexpr ReadLimits kDatabaseLimits = {std::size_t{1} << 30, std::size_t{16} << 20};

/**
 * Reads a stream to its end into `text`, refusing (false, `text` untouched,
 * one line in `error`) when it holds more than `limits.fileBytes` bytes, a
 * line longer than `limits.lineBytes` bytes (the line named as "line N"), or
 * cannot be read. Never throws.
 */
TQVS_INTERNAL_API bool readBounded(std::istream &in, const ReadLimits &limits, std::string &text,
                                   std::string &error);

/** Widths of texts 1 to 7 in the series information record, NUL included:
 *  the widths of the host's text columns. */
constexpr std::size_t kTextWidths[7] = {KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH, KOVRAP_TEXT3_WIDTH,
                                        KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH, KOVRAP_TEXT6_WIDTH,
                                        KOVRAP_TEXT7_WIDTH};

/**
 * Reads a whole database file. On success fills `out` and returns true. On
 * any malformed input returns false, leaves `out` untouched and puts one line
 * into `error`, starting with "line N: " where the fault lies. Never throws.
 */
TQVS_INTERNAL_API bool parseDatabase(const std::string &text, Database &out, std::string &error);

/**
 * Writes a database in the file format; parseDatabase reads it back to the
 * same codes, frequencies, dates, attributes, texts and values. An empty
 * series is written with `range none` (its dates read back as 0), and a
 * value that is missing or not finite as NA.
 */
TQVS_INTERNAL_API std::string formatDatabase(const Database &db);

/** Empty when `date` is a period date of frequency `f` with a year from 1 to
 *  9999, else the reason. */
TQVS_INTERNAL_API std::string periodDateProblem(int date, int f);

/**
 * Checks one series against the file's rules (code, frequency, dates, value
 * count, text widths). Returns an empty string when it is valid, else the
 * reason.
 */
TQVS_INTERNAL_API std::string checkSeries(const Series &s);

} // namespace tqvs

#endif
