#include "files.h"

#include "dbfile.h"
#include "tqv_standin.h"

#include <cstdio>
#include <cstdlib>
#include <istream>
#include <stdexcept>
#include <streambuf>

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

namespace {

// Reads the whole of an open file and closes it.
int readOpenFile(std::FILE *file, const ReadLimits &limits, std::string &text) {
    FileBuffer buffer(file);
    std::istream in(&buffer);
    std::string error;
    return readBounded(in, limits, text, error) ? TQVS_OK : TQVS_BAD_DATABASE;
}

int parseInto(const std::string &text, std::shared_ptr<Database> &out) {
    auto database = std::make_shared<Database>();
    std::string error;
    if (!parseDatabase(text, *database, error))
        return TQVS_BAD_DATABASE;
    out = std::move(database);
    return TQVS_OK;
}

#ifdef _WIN32
std::wstring wide(const std::string &text) {
    if (text.empty())
        return std::wstring();
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

// The folder itself, not a name for it: opened without FILE_SHARE_DELETE, so
// that it can be neither renamed nor removed while it is held.
HANDLE openFolder(const std::string &folder) {
    const std::wstring name = wide(folder);
    if (name.empty())
        return INVALID_HANDLE_VALUE;
    return CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FolderId identityOf(HANDLE handle) {
    FolderId id;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return id;
    id.present = true;
    id.volume = info.dwVolumeSerialNumber;
    id.file = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return id;
}

std::wstring finalPath(HANDLE handle) {
    std::wstring path(1024, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.assign(n + 1, L'\0');
    }
    return std::wstring();
}

bool samePath(const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}
#endif

} // namespace

int readFile(const std::string &path, const ReadLimits &limits, std::string &text) {
    std::FILE *file = openRegularFile(path);
    if (file == nullptr)
        return TQVS_NO_SUCH_DATABASE;
    return readOpenFile(file, limits, text);
}

FolderId folderIdentity(const std::string &folder) {
#ifdef _WIN32
    const HANDLE handle = openFolder(folder);
    if (handle == INVALID_HANDLE_VALUE)
        return FolderId();
    const FolderId id = identityOf(handle);
    CloseHandle(handle);
    return id;
#else
    FolderId id;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return id;
    id.present = true;
    id.volume = static_cast<unsigned long long>(st.st_dev);
    id.file = static_cast<unsigned long long>(st.st_ino);
    return id;
#endif
}

bool directNameAllowed(const char *name) {
    if (name == nullptr || *name == '\0')
        return false;
    const std::string text(name);
    // A separator, a drive or stream colon, or a step up would leave the
    // data folder; an absolute path starts with one of them.
    return text.find_first_of("/\\:") == std::string::npos && text.find("..") == std::string::npos;
}

int loadDirectDatabase(const std::string &folder, const FolderId &loggedIn, const char *name,
                       std::shared_ptr<Database> &out) {
    if (!directNameAllowed(name))
        return TQVS_NO_SUCH_DATABASE;
    // The folder is opened once and the file is opened through that handle,
    // never through a link: a name swapped in the folder at any moment leads
    // nowhere else. The folder must still be the one of the log-in.
    const std::string file = std::string(name) + ".tqvdb";
    std::FILE *stream = nullptr;
#ifdef _WIN32
    const HANDLE dir = openFolder(folder);
    if (dir == INVALID_HANDLE_VALUE)
        return TQVS_NO_SUCH_DATABASE;
    const FolderId id = identityOf(dir);
    const std::wstring dirPath = finalPath(dir);
    if (!id.present || !(id == loggedIn) || dirPath.empty()) {
        CloseHandle(dir);
        return id.present && !(id == loggedIn) ? TQVS_NOT_LOGGED_IN : TQVS_NO_SUCH_DATABASE;
    }
    // The folder's own path, held open so that it stays that folder; the
    // file opened as itself, a link or junction not followed, and then held
    // to being a plain file whose final path is in that folder.
    const std::wstring wanted = dirPath + L"\\" + wide(file);
    const HANDLE handle = CreateFileW(wanted.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        CloseHandle(dir);
        return TQVS_NO_SUCH_DATABASE;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain =
        GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        info.dwVolumeSerialNumber == id.volume && samePath(finalPath(handle), wanted);
    CloseHandle(dir);
    if (!plain) {
        CloseHandle(handle);
        return TQVS_NO_SUCH_DATABASE;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return TQVS_NO_SUCH_DATABASE;
    }
    stream = _fdopen(fd, "rb");
    if (stream == nullptr) {
        _close(fd);
        return TQVS_NO_SUCH_DATABASE;
    }
#else
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return TQVS_NO_SUCH_DATABASE;
    struct stat dirStat {};
    FolderId id;
    if (::fstat(dir, &dirStat) == 0) {
        id.present = true;
        id.volume = static_cast<unsigned long long>(dirStat.st_dev);
        id.file = static_cast<unsigned long long>(dirStat.st_ino);
    }
    if (!(id == loggedIn)) {
        ::close(dir);
        return TQVS_NOT_LOGGED_IN;
    }
    // The name holds no separator (directNameAllowed), so the file is an
    // entry of this folder; O_NOFOLLOW refuses a link there, and a pipe is
    // not waited for.
    const int fd = ::openat(dir, file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    ::close(dir);
    if (fd < 0)
        return TQVS_NO_SUCH_DATABASE;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != dirStat.st_dev) {
        ::close(fd);
        return TQVS_NO_SUCH_DATABASE;
    }
    stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        ::close(fd);
        return TQVS_NO_SUCH_DATABASE;
    }
#endif
    std::string text;
    const int status = readOpenFile(stream, kDatabaseLimits, text);
    return status == TQVS_OK ? parseInto(text, out) : status;
}

int loadDatabaseFile(const std::string &path, std::shared_ptr<Database> &out) {
    std::string text;
    const int status = readFile(path, kDatabaseLimits, text);
    return status == TQVS_OK ? parseInto(text, out) : status;
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
