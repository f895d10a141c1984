// A file that reports size 0 and yet reads as a database: the command line
// of a process that wrote a database text over its own arguments, as
// programs that set their process title do. The kernel then reads
// /proc/PID/cmdline as at most one page from the arguments' start, up to a
// NUL, while stat gives size 0. The process is the test program itself,
// started again with a long argument and told by its environment to do
// only this, before main. Linux only.
#ifndef KOVRAP_TEST_PSEUDO_FILE_H
#define KOVRAP_TEST_PSEUDO_FILE_H

#if defined(__linux__)

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kovrap_test {

class PseudoFile {
  public:
    // database: the text the command line is to read as, shorter than a
    // page; a comment line pads it to exactly one page without a NUL.
    explicit PseudoFile(const std::string &database) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const std::string fd = "KOVRAP_PSEUDO_FILE_FD=" + std::to_string(ready[1]);
        const std::string text = "KOVRAP_PSEUDO_FILE_TEXT=" + database;
        // Arguments longer than a page, so that the page read holds no NUL.
        const std::string padding(static_cast<std::size_t>(pageSize()) + 64, 'x');
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            char *const argv[] = {const_cast<char *>("pseudo"), const_cast<char *>(padding.c_str()),
                                  nullptr};
            char *const envp[] = {const_cast<char *>(fd.c_str()), const_cast<char *>(text.c_str()),
                                  nullptr};
            ::execve("/proc/self/exe", argv, envp);
            ::_exit(127);
        }
        ::close(ready[1]);
        char ok = 'n';
        ready_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 'y';
        ::close(ready[0]);
    }
    ~PseudoFile() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    PseudoFile(const PseudoFile &) = delete;
    PseudoFile &operator=(const PseudoFile &) = delete;

    bool ready() const { return ready_; }
    // Under valgrind the test program cannot start itself again as itself
    // (its own executable is valgrind's), so no pseudo-file can be made.
    static bool underValgrind() {
        const char *preload = std::getenv("LD_PRELOAD");
        return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
    }
    std::string path() const { return "/proc/" + std::to_string(pid_) + "/cmdline"; }

    // In the program started by the constructor: rewrites the arguments,
    // says so through the pipe and waits to be ended (a minute at most).
    // Elsewhere returns false at once.
    static bool child() {
        const char *fd = std::getenv("KOVRAP_PSEUDO_FILE_FD");
        const char *text = std::getenv("KOVRAP_PSEUDO_FILE_TEXT");
        if (fd == nullptr || text == nullptr)
            return false;
        const char ok = rewrite(text) ? 'y' : 'n';
        if (::write(std::atoi(fd), &ok, 1) != 1)
            ::_exit(2);
        ::alarm(60);
        for (;;)
            ::pause();
    }

  private:
    static long pageSize() { return ::sysconf(_SC_PAGESIZE); }

    static bool rewrite(const std::string &database) {
        std::ifstream stat("/proc/self/stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
            return false;
        // Fields after the command name, which may hold blanks, in brackets.
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        unsigned long long value[52] = {};
        for (int n = 3; n <= 51 && fields >> field; ++n)
            value[n] = std::strtoull(field.c_str(), nullptr, 10);
        const unsigned long long argStart = value[48], argEnd = value[49];
        const auto page = static_cast<std::size_t>(pageSize());
        if (argStart == 0 || argEnd <= argStart + page || database.size() + 3 > page)
            return false;
        std::string text = database + "#";
        text += std::string(page - text.size() - 1, 'x') + "\n";
        // The whole argument area without a NUL: its last byte not being
        // NUL is what tells the kernel the arguments were rewritten.
        char *start = reinterpret_cast<char *>(static_cast<std::uintptr_t>(argStart));
        std::memcpy(start, text.data(), page);
        std::memset(start + page, 'x', static_cast<std::size_t>(argEnd - argStart) - page);
        return true;
    }

    pid_t pid_ = -1;
    bool ready_ = false;
};

// Every program that can make a pseudo-file is also the process behind it.
inline const bool kPseudoFileChild = PseudoFile::child();

} // namespace kovrap_test

#endif
#endif
