// The library bracket around every export that opens databases: retries and
// ANSI strings on, the merge-data setting saved and replaced, and on every
// way out the setting restored and the databases closed once.
#ifndef KOVRAP_BRACKET_H
#define KOVRAP_BRACKET_H

#include "binding/library.h"

#include <initializer_list>

namespace kovrap {

class Bracket {
  public:
    // settings: the merge-data values to set, in order (the information
    // query sets 1 and then 3).
    Bracket(const Library &library, std::initializer_list<int> settings) noexcept
        : library_(library) {
        library_.enableRetries(1);
        library_.enableAnsi(1);
        saved_ = library_.getMergeData();
        for (int setting : settings)
            library_.setMergeData(setting);
    }
    Bracket(const Bracket &) = delete;
    Bracket &operator=(const Bracket &) = delete;
    ~Bracket() { close(); }

    // Restores the setting and closes; returns the close's status. Later
    // calls, and the destructor, do nothing.
    int close() noexcept {
        if (closed_)
            return closeStatus_;
        closed_ = true;
        library_.setMergeData(saved_);
        closeStatus_ = library_.closeDatabase();
        return closeStatus_;
    }

    const Library &library() const noexcept { return library_; }

  private:
    const Library &library_;
    int saved_ = 0;
    bool closed_ = false;
    int closeStatus_ = 0;
};

} // namespace kovrap

#endif
