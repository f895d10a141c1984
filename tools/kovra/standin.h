// What kovra knows of the stand-ins (standin/), our copies of the database
// libraries, and of nothing else: their status words, their data folder
// variable and the layout of their data folder. Each is used only when the
// version text says the stand-in is the library loaded; a real library
// numbers its statuses and keeps its databases its own way. Running beside
// the real libraries means reviewing this one file.
//
// Kovrap's own statuses (Kovrap.h) are said in words whatever is loaded.
#ifndef KOVRA_STANDIN_H
#define KOVRA_STANDIN_H

#include <string>
#include <vector>

namespace kovra {

// Whether a version text from c_kovraCVersion is the stand-in's, for the
// local or the direct library ("tqvapi64 standin 1", "tqvdapi64 standin 1").
bool isStandinVersion(const std::string &version, bool direct);

// A status as a user reads it:
//   Kovrap's own:          "too few periods in the window (status 834)"
//   the stand-in's:        "not a database (status 11 from the database library)"
//   any other, or another
//   library loaded:        "status 11 from the database library"
std::string statusPhrase(int status, bool standin);

// The status of c_kovraGetData's error cell: 1 there is also Kovrap's own
// word for a database that did not open.
std::string fetchStatusPhrase(int status, bool standin);

// Why a database did not open, after "cannot open database 'NAME': ": the
// status as statusPhrase says it; with the stand-in loaded, what its status
// tells besides: where the local library looked for the file, and the check
// that shows where a file is no database.
std::string openFailureWords(const std::string &database, int status, bool standin, bool direct);

// The stand-ins' data folder: the variable they read it from (again on every
// call), and the folder handed to them there, absolute. Returns false when
// the variable cannot be set.
extern const char *const kStandinDataFolderVariable;
bool handDataFolder(const std::string &folder);

// The database files of a folder as the stand-in's local library opens them
// by name (it adds the extension): the names, in byte order.
extern const char *const kStandinDatabaseExtension;
std::vector<std::string> standinDatabasesIn(const std::string &folder);

} // namespace kovra

#endif
