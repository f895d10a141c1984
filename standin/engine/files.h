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

/** What a folder is, whatever names lead to it: its device and inode, or on
 *  Windows its volume serial number and file index. */
struct FolderId {
    bool present = false; // false: no folder there
    unsigned long long volume = 0;
    unsigned long long file = 0;
    bool operator==(const FolderId &o) const {
        return present == o.present && volume == o.volume && file == o.file;
    }
};

/** The identity of the folder a path names now (following links). */
FolderId folderIdentity(const std::string &folder);

/** Loads `<folder>/<name>.tqvdb` for the direct library: the folder is
 *  opened once, must be the folder `loggedIn` identifies (else
 *  TQVS_NOT_LOGGED_IN), and the file is opened relative to it without
 *  following a link and read only when it is a regular file of the folder.
 *  A name that is not allowed, a link, a folder, a pipe or a device answers
 *  TQVS_NO_SUCH_DATABASE as a missing file does. */
int loadDirectDatabase(const std::string &folder, const FolderId &loggedIn, const char *name,
                       std::shared_ptr<Database> &out);

/** Whether a user name or password may be checked at all: not null and no
 *  control character (bytes below 32, and 127). */
bool credentialAllowed(const char *text);

/** True when the file `credentials` of the folder has a line whose text
 *  before its first colon is `user` and after it is `password`. */
bool credentialsFileAccepts(const std::string &folder, const std::string &user,
                            const std::string &password);

} // namespace tqvs

#endif
