#include "files.h"

#include "dbfile.h"
#include "tqv_standin.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <streambuf>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace tqvs {

namespace {

// Any object inside the engine library: its address names the library file.
const char kAnchor = 0;

std::string engineLibraryPath() {
#ifdef _WIN32
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &kAnchor, &module))
        return std::string();
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return std::string(path, n);
#else
    Dl_info info{};
    if (dladdr(&kAnchor, &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    return info.dli_fname;
#endif
}

// Opens a path for reading only when it is a regular file: a pipe, a device
// or a folder is no database (a pipe would also make the open wait for a
// writer). The file is judged by the descriptor that is then read, so a name
// swapped after the check changes nothing. Null when refused.
std::FILE *openRegularFile(const std::string &path) {
#ifdef _WIN32
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        return nullptr;
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        _close(fd);
        return nullptr;
    }
    std::FILE *file = _fdopen(fd, "rb");
    if (file == nullptr)
        _close(fd);
    return file;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr)
        ::close(fd);
    return file;
#endif
}

// A stream over an open file; a read error becomes the stream's bad state.
class FileBuffer : public std::streambuf {
  public:
    explicit FileBuffer(std::FILE *file) : file_(file) {}
    ~FileBuffer() override { std::fclose(file_); }
    FileBuffer(const FileBuffer &) = delete;
    FileBuffer &operator=(const FileBuffer &) = delete;

  protected:
    int_type underflow() override {
        const std::size_t n = std::fread(buffer_, 1, sizeof buffer_, file_);
        if (n == 0) {
            if (std::ferror(file_))
                throw std::runtime_error("read error");
            return traits_type::eof();
        }
        setg(buffer_, buffer_, buffer_ + n);
        return traits_type::to_int_type(buffer_[0]);
    }

  private:
    std::FILE *file_;
    char buffer_[65536];
};

bool hasControlCharacter(const std::string &text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return true;
    }
    return false;
}

} // namespace

std::string dataDirectory() {
    const char *fromEnvironment = std::getenv("TQVD_DATA_DIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    const std::string library = engineLibraryPath();
    const std::size_t slash = library.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "." : library.substr(0, slash);
    return folder + "/tqvdata";
}

int readFile(const std::string &path, const ReadLimits &limits, std::string &text) {
    std::FILE *file = openRegularFile(path);
    if (file == nullptr)
        return TQVS_NO_SUCH_DATABASE;
    FileBuffer buffer(file);
    std::istream in(&buffer);
    std::string error;
    return readBounded(in, limits, text, error) ? TQVS_OK : TQVS_BAD_DATABASE;
}

bool directNameAllowed(const char *name) {
    if (name == nullptr || *name == '\0')
        return false;
    const std::string text(name);
    // A separator, a drive or stream colon, or a step up would leave the
    // data folder; an absolute path starts with one of them.
    return text.find_first_of("/\\:") == std::string::npos && text.find("..") == std::string::npos;
}

int loadDirectDatabase(const std::string &folder, const char *name,
                       std::shared_ptr<Database> &out) {
    if (!directNameAllowed(name))
        return TQVS_NO_SUCH_DATABASE;
    // A link in the folder may point to another file of the folder, never
    // out of it; the file read is the one that was checked.
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::canonical(folder, ec);
    if (ec)
        return TQVS_NO_SUCH_DATABASE;
    const std::filesystem::path file =
        std::filesystem::canonical(base / (std::string(name) + ".tqvdb"), ec);
    if (ec)
        return TQVS_NO_SUCH_DATABASE;
    const std::filesystem::path inside = file.lexically_relative(base);
    if (inside.empty() || *inside.begin() == "..")
        return TQVS_NO_SUCH_DATABASE;
    return loadDatabaseFile(file.string(), out);
}

int loadDatabaseFile(const std::string &path, std::shared_ptr<Database> &out) {
    std::string text;
    const int status = readFile(path, kDatabaseLimits, text);
    if (status != TQVS_OK)
        return status;
    auto database = std::make_shared<Database>();
    std::string error;
    if (!parseDatabase(text, *database, error))
        return TQVS_BAD_DATABASE;
    out = std::move(database);
    return TQVS_OK;
}

bool credentialAllowed(const char *text) {
    return text != nullptr && !hasControlCharacter(text);
}

bool credentialsFileAccepts(const std::string &folder, const std::string &user,
                            const std::string &password) {
    // The user name ends at the first colon of a line, so it cannot hold
    // one; the password is the rest of the line, colons included.
    if (user.empty() || user.find(':') != std::string::npos)
        return false;
    // A few users, one short line each.
    constexpr ReadLimits kCredentialsLimits = {std::size_t{1} << 20, 4096};
    std::string text;
    if (readFile(folder + "/credentials", kCredentialsLimits, text) != TQVS_OK)
        return false;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && line.compare(0, colon, user) == 0 &&
            colon == user.size() && line.compare(colon + 1, std::string::npos, password) == 0)
            return true;
        begin = end + 1;
    }
    return false;
}

} // namespace tqvs
