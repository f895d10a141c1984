// Where the stand-ins find database files and the credentials file.
#ifndef TQVS_FILES_H
#define TQVS_FILES_H

#include "dbfile.h"
#include "store.h"

#include <memory>
#include <string>

namespace tqvs {

/** TQVD_DATA_DIR when set and not empty, else the folder `tqvdata` beside
 *  the engine library file. */
std::string dataDirectory();

/** Reads a whole file within the limits: TQVS_OK, TQVS_NO_SUCH_DATABASE when
 *  it cannot be opened (or is a folder), TQVS_BAD_DATABASE when it cannot be
 *  read or goes past a limit (a device or pipe that never ends). */
int readFile(const std::string &path, const ReadLimits &limits, std::string &text);

/** Loads and parses a database file. TQVS_OK with the database, or
 *  TQVS_NO_SUCH_DATABASE (no file to open) or TQVS_BAD_DATABASE (malformed,
 *  unreadable or past kDatabaseLimits). */
int loadDatabaseFile(const std::string &path, std::shared_ptr<Database> &out);

/** True when the data directory's file `credentials` holds the line
 *  `user:password`. */
bool credentialsFileAccepts(const std::string &user, const std::string &password);

} // namespace tqvs

#endif
