// The library as kovra uses it: loaded by name, logged in to the direct
// library when asked, and databases checked before they are read.
#ifndef KOVRA_SESSION_H
#define KOVRA_SESSION_H

#include "api.h"
#include "args.h"
#include "formats.h"
#include "listing.h"
#include "rules.h"

#include <functional>
#include <string>
#include <vector>

namespace kovra {

// The data folder, fixed when kovra starts, while the stand-in is the
// library loaded: KOVRAP_DATA_DIR when it is set and not empty, else the
// stand-ins' own variable (standin.h), made absolute against the working
// folder of that moment and handed to the stand-ins in their variable, so
// that a later change of working folder cannot move it. Returns the folder,
// empty when neither is set (the libraries' own default then holds) or
// when `standinLoaded` says another library is loaded.
std::string settleDataFolder(const std::function<bool()> &standinLoaded);

class Session {
  public:
    // Loads the library and, with --direct, logs in. Throws a Failure.
    explicit Session(const Options &options);

    const Api &api() const { return api_; }
    int direct() const { return direct_ ? 1 : 0; }
    // The direct library without --user: the library answers every read
    // with its not-logged-in status, which kovra reports as such.
    bool loggedOut() const { return direct_ && !loggedIn_; }
    // Whether the selected database library is the stand-in, by its version
    // text: only then are its particulars used (standin.h).
    bool standin() const;

    // The codes of a database, in the library's order. Throws a Failure
    // when the database does not open or the listing fails.
    CodeListing listing(const std::string &database) const;
    std::vector<std::string> codes(const std::string &database) const;

    // Opens each database once, so that a database that does not open is
    // named as such rather than as a list of unknown series.
    void checkDatabases(const std::vector<std::string> &databases) const;

  private:
    // Why a database does not open, in the user's terms.
    std::string openFailure(const std::string &database, int status) const;

    Api api_;
    bool direct_ = false;
    bool loggedIn_ = false;
    mutable int standin_ = -1; // asked once, when a status is first said
};

} // namespace kovra

#endif
