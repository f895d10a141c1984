// Input files of the tools (tqvconvert's manifests, CSV files and checked
// databases, kovra's password file): read only when the handle that is read
// is a regular file, and never waited for on the way there.
#ifndef KOVRAP_TOOLS_INPUT_FILE_H
#define KOVRAP_TOOLS_INPUT_FILE_H

#include <cstdio>
#include <filesystem>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>

namespace kovrap_tools {

// What kind of thing stood at a path that was not read, or why it could not
// be opened.
enum class InputProblem { None, CannotOpen, Folder, NotRegular };

// One line for a problem, to follow the path in a message: "is a folder, not
// a file", "is not a regular file (a pipe, a device or a socket)", "cannot
// open".
const char *describe(InputProblem problem);

// A file opened for reading. The open does not wait (a pipe without a writer
// would block it forever), and the handle is then judged: only a regular
// file is read; a folder, a pipe, a device or a socket is refused.
class InputFile {
  public:
    InputFile();
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    InputProblem open(const std::filesystem::path &path);
    // The open file's bytes; a read error sets its bad bit.
    std::istream &stream() { return stream_; }

  private:
    class Buffer : public std::streambuf {
      public:
        std::FILE *file = nullptr;

      protected:
        int_type underflow() override;

      private:
        char bytes_[65536];
    };
    std::unique_ptr<Buffer> buffer_;
    std::istream stream_;
};

} // namespace kovrap_tools

#endif
