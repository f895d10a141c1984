#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kovrap_tools {

const char *describe(InputProblem problem) {
    switch (problem) {
    case InputProblem::None:
        return "";
    case InputProblem::Folder:
        return "is a folder, not a file";
    case InputProblem::NotRegular:
        return "is not a regular file (a pipe, a device or a socket)";
    case InputProblem::CannotOpen:
        break;
    }
    return "cannot open";
}

InputFile::InputFile() : buffer_(new Buffer), stream_(buffer_.get()) {}

InputFile::~InputFile() {
    if (buffer_->file != nullptr)
        std::fclose(buffer_->file);
}

InputFile::Buffer::int_type InputFile::Buffer::underflow() {
    if (file == nullptr)
        return traits_type::eof();
    const std::size_t n = std::fread(bytes_, 1, sizeof bytes_, file);
    if (n == 0) {
        if (std::ferror(file))
            throw std::ios_base::failure("read error");
        return traits_type::eof();
    }
    setg(bytes_, bytes_, bytes_ + n);
    return traits_type::to_int_type(bytes_[0]);
}

InputProblem InputFile::open(const std::filesystem::path &path) {
    if (buffer_->file != nullptr)
        return InputProblem::CannotOpen;
#if defined(_WIN32)
    std::error_code ec;
    // A folder does not open as a file here; say what it is.
    if (std::filesystem::is_directory(path, ec))
        return InputProblem::Folder;
    const int fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        return InputProblem::CannotOpen;
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0) {
        _close(fd);
        return InputProblem::CannotOpen;
    }
    if ((st.st_mode & _S_IFMT) != _S_IFREG) {
        _close(fd);
        return (st.st_mode & _S_IFMT) == _S_IFDIR ? InputProblem::Folder : InputProblem::NotRegular;
    }
    std::FILE *file = _fdopen(fd, "rb");
    if (file == nullptr) {
        _close(fd);
        return InputProblem::CannotOpen;
    }
#else
    // O_NONBLOCK: a pipe without a writer would hold the open forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return InputProblem::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return InputProblem::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? InputProblem::Folder : InputProblem::NotRegular;
    }
    // A regular file reads the same either way; blocking reads are the
    // ordinary ones.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        ::close(fd);
        return InputProblem::CannotOpen;
    }
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return InputProblem::CannotOpen;
    }
#endif
    buffer_->file = file;
    stream_.clear();
    return InputProblem::None;
}

} // namespace kovrap_tools
