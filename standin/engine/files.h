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

/** Reads a whole regular file within the limits: TQVS_OK,
 *  TQVS_NO_SUCH_DATABASE when it cannot be opened or is no regular file (a
 *  folder, a pipe, a device; a pipe is never waited for), TQVS_BAD_DATABASE
 *  when it cannot be read or goes past a limit. */
int readFile(const std::string &path, const ReadLimits &limits, std::string &text);

/** Loads and parses a database file. TQVS_OK with the database, or
 *  TQVS_NO_SUCH_DATABASE (no file to open) or TQVS_BAD_DATABASE (malformed,
 *  unreadable or past kDatabaseLimits). */
int loadDatabaseFile(const std::string &path, std::shared_ptr<Database> &out);

/** Whether the direct library takes `name` as a database name: not empty,
 *  no `/`, `\`, `:` (drive or stream) or `..`. */
bool directNameAllowed(const char *name);

/** Loads `<folder>/<name>.tqvdb` for the direct library, refusing a name
 *  that is not allowed and a file whose links lead out of the folder, with
 *  TQVS_NO_SUCH_DATABASE as for a missing file. */
int loadDirectDatabase(const std::string &folder, const char *name, std::shared_ptr<Database> &out);

/** Whether a user name or password may be checked at all: not null and no
 *  control character (bytes below 32, and 127). */
bool credentialAllowed(const char *text);

/** True when the file `credentials` of the folder has a line whose text
 *  before its first colon is `user` and after it is `password`. */
bool credentialsFileAccepts(const std::string &folder, const std::string &user,
                            const std::string &password);

} // namespace tqvs

#endif
