// tqvconvert: builds a stand-in database file (.tqvdb) from CSV files, as a
// manifest describes them.
//
//   tqvconvert [--data-dir DIR] MANIFEST OUTPUT
//   tqvconvert check FILE.tqvdb
//
// Relative CSV paths in the manifest are read from DIR, or from the
// manifest's folder when no DIR is given. OUTPUT must be a new path or a
// regular file that is none of the inputs. On any error one line goes to
// stderr, the exit status is 1 (2 for a usage error) and OUTPUT is left as
// it was. `check` reads a database file as the stand-ins do and names its
// first problem with its line.
#include "convert.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tqvconvert::runTool(args, std::cout, std::cerr);
}
