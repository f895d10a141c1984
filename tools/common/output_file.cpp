#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kovrap_tools {

namespace {

// Creates the file only if no file, link or anything else has that name, so
// that nothing placed there is written through.
std::FILE *createNew(const std::filesystem::path &path) {
#if defined(_WIN32)
    const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE *file = _fdopen(fd, "wb");
    if (file == nullptr)
        _close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::fdopen(fd, "wb");
    if (file == nullptr)
        ::close(fd);
#endif
    return file;
}

// The new file is created under the first free name of target.tmp,
// target.tmp1, ...
std::FILE *createBeside(const std::filesystem::path &target, std::filesystem::path &temp,
                        std::string &error) {
    for (int i = 0; i < 100; ++i) {
        temp = target;
        temp += i == 0 ? std::string(".tmp") : ".tmp" + std::to_string(i);
        std::error_code ec;
        if (std::filesystem::symlink_status(temp, ec).type() !=
            std::filesystem::file_type::not_found)
            continue;
        if (std::FILE *file = createNew(temp))
            return file;
        if (errno != EEXIST) {
            error = temp.u8string() + ": cannot create";
            return nullptr;
        }
    }
    error = target.u8string() + ": no free name for a temporary file beside it";
    return nullptr;
}

// A file written over another takes its permission bits, so that replacing
// a private file does not make it readable to others. Set-user-ID and the
// like are not carried over, and nor are owner and group, which only the
// administrator could give away. Windows files take the access rights their
// folder gives new files.
void keepMode(const std::filesystem::path &target, std::FILE *file) {
#if defined(_WIN32)
    static_cast<void>(target);
    static_cast<void>(file);
#else
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        static_cast<void>(::fchmod(::fileno(file), st.st_mode & 0777));
#endif
}

} // namespace

bool outputProblem(const std::filesystem::path &target, std::string &error) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::symlink_status(target, ec);
    if (ec && st.type() != std::filesystem::file_type::not_found) {
        error = target.u8string() + ": cannot inspect the output: " + ec.message();
        return true;
    }
    switch (st.type()) {
    case std::filesystem::file_type::not_found:
    case std::filesystem::file_type::regular:
        return false;
    case std::filesystem::file_type::directory:
        error = target.u8string() + ": the output is a folder; give a file name";
        return true;
    case std::filesystem::file_type::symlink:
        error = target.u8string() + ": the output is a symbolic link; give a regular file";
        return true;
    default:
        error = target.u8string() + ": the output is not a regular file; give a regular file";
        return true;
    }
}

bool writeAtomically(const std::filesystem::path &target, const std::string &text,
                     std::string &error) {
    std::filesystem::path temp;
    std::FILE *file = createBeside(target, temp, error);
    if (file == nullptr)
        return false;
    keepMode(target, file);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    // A full disk may show only when the buffered rest is written, at close.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        error = temp.u8string() + ": cannot write";
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    std::error_code inspect;
    if (ec && std::filesystem::is_regular_file(std::filesystem::symlink_status(target, inspect))) {
        // Some platforms do not rename over an existing file.
        std::error_code ignored;
        std::filesystem::remove(target, ignored);
        ec.clear();
        std::filesystem::rename(temp, target, ec);
    }
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        error = target.u8string() + ": cannot replace: " + ec.message();
        return false;
    }
    return true;
}

} // namespace kovrap_tools
