// Statuses in words. Kovrap's own statuses (Kovrap.h) are always said in
// words; a status of a database library only when the stand-in is the
// library loaded, since a real library numbers its statuses its own way.
// Everything kovra knows of the stand-in's statuses is in statuses.cpp:
// running beside the real libraries means reviewing that one file.
#ifndef KOVRA_STATUSES_H
#define KOVRA_STATUSES_H

#include <string>

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

// What an open's status says of the database, where kovra can tell.
enum class OpenProblem { Other, NoSuchDatabase, NotADatabase };
OpenProblem openProblem(int status, bool standin);

} // namespace kovra

#endif
