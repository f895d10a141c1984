// Running kovra as a child process from the sample data folder, and reading
// the XML of its charts: shared by the CLI test files.
#ifndef KOVRA_CLI_H
#define KOVRA_CLI_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kovra_cli {

namespace fs = std::filesystem;

// ---- running kovra -------------------------------------------------------

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string readText(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

inline fs::path scratchDir() {
#if defined(_WIN32)
    const int pid = _getpid();
#else
    const int pid = static_cast<int>(getpid());
#endif
    const fs::path dir = fs::temp_directory_path() / ("kovra-cli-" + std::to_string(pid));
    fs::create_directories(dir);
    return dir;
}

#if defined(_WIN32)
// Starts kovra itself, with its output streams in the two files: no command
// processor in between, which under Wine was one more process that could
// fail to start. Arguments are passed in double quotes, so none may hold one.
inline int runProgram(const std::string &program, const std::vector<std::string> &args,
                      const fs::path &out, const fs::path &err, int timeLimit,
                      std::string &failure) {
    std::string command = "\"" + program + "\"";
    for (const std::string &arg : args)
        command += " \"" + arg + "\"";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const auto create = [&](const fs::path &path) {
        return CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE outFile = create(out);
    HANDLE errFile = create(err);
    HANDLE inFile = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    int status = -1;
    if (outFile == INVALID_HANDLE_VALUE || errFile == INVALID_HANDLE_VALUE ||
        inFile == INVALID_HANDLE_VALUE) {
        failure = "cannot create the output files (error " + std::to_string(GetLastError()) + ")";
    } else {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inFile;
        startup.hStdOutput = outFile;
        startup.hStdError = errFile;
        PROCESS_INFORMATION child{};
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        // A start that fails says nothing about kovra; try it again a few
        // times before the run counts as failed.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0)
                Sleep(200);
            started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     nullptr, &startup, &child) != 0;
        }
        if (!started) {
            failure = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
        } else {
            const DWORD wait = timeLimit > 0 ? static_cast<DWORD>(timeLimit) * 1000 : INFINITE;
            DWORD code = 0;
            if (WaitForSingleObject(child.hProcess, wait) == WAIT_TIMEOUT) {
                TerminateProcess(child.hProcess, 124);
                WaitForSingleObject(child.hProcess, INFINITE);
                failure = "kovra did not finish within " + std::to_string(timeLimit) + " s";
            } else if (GetExitCodeProcess(child.hProcess, &code)) {
                status = static_cast<int>(code);
            }
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
    }
    for (HANDLE h : {outFile, errFile, inFile})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    return status;
}
#else
inline int runProgram(const std::string &program, const std::vector<std::string> &args,
                      const fs::path &out, const fs::path &err, int timeLimit,
                      std::string &failure) {
    // coreutils' timeout ends a run that hangs with status 124.
    std::string command = timeLimit > 0 ? "timeout -k 5 " + std::to_string(timeLimit) + " " : "";
    // In single quotes the shell takes every byte as it is ($, \, " too);
    // a quote itself ends the quoting, is escaped, and starts it again.
    const auto quoted = [](const std::string &arg) {
        std::string q = "'";
        for (const char c : arg)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    command += quoted(program);
    for (const std::string &arg : args)
        command += " " + quoted(arg);
    command += " < /dev/null > \"" + out.string() + "\" 2> \"" + err.string() + "\"";
    const int raw = std::system(command.c_str());
    if (raw == -1 || !WIFEXITED(raw)) {
        failure = "kovra did not exit normally (wait status " + std::to_string(raw) + ")";
        return -1;
    }
    if (timeLimit > 0 && (WEXITSTATUS(raw) == 124 || WEXITSTATUS(raw) == 137)) {
        failure = "kovra did not finish within " + std::to_string(timeLimit) + " s";
        return -1;
    }
    return WEXITSTATUS(raw);
}
#endif

// Runs a program of the build folder (kovra, tqvconvert) from the data
// folder with the arguments; a run that could not be started, or that
// outlasts a time limit in seconds (0: none), has status -1 and the reason
// in `err`.
inline Result runTool(const std::string &tool, const std::vector<std::string> &args,
                      int timeLimit = 0) {
    static int serial = 0;
    const fs::path dir = scratchDir();
    const fs::path out = dir / ("out" + std::to_string(++serial) + ".txt");
    const fs::path err = dir / ("err" + std::to_string(serial) + ".txt");
#if defined(_WIN32)
    const std::string program = "..\\" + tool + ".exe";
#else
    const std::string program = "../" + tool;
#endif
    std::string failure;
    Result run;
    run.status = runProgram(program, args, out, err, timeLimit, failure);
    // Windows programs end their lines in CR LF on the console streams.
    run.out = withoutCarriageReturns(readText(out));
    run.err = withoutCarriageReturns(readText(err)) + failure;
    fs::remove(out);
    fs::remove(err);
    return run;
}

inline Result kovra(const std::vector<std::string> &args, int timeLimit = 0) {
    return runTool("kovra", args, timeLimit);
}

inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        result.push_back(line);
    }
    return result;
}

inline std::vector<std::string> concat(std::vector<std::string> a,
                                       const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- charts ------------------------------------------------------------------

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;  // the characters right after the start tag, as written
    std::string group; // the class of the innermost enclosing g element that has one
};

// Reads an XML document: every tag closed in order, attributes quoted.
// Returns the start tags, or fails the test.
inline std::vector<Element> parseXml(const std::string &text) {
    std::vector<Element> elements;
    std::vector<std::string> open;
    std::vector<std::string> groups; // the group of each open element's children
    std::size_t i = 0;
    bool root = false;
    while ((i = text.find('<', i)) != std::string::npos) {
        const std::size_t end = text.find('>', i);
        EXPECT_NE(std::string::npos, end);
        if (end == std::string::npos)
            return {};
        std::string tag = text.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.rfind("?xml", 0) == 0)
            continue;
        if (!tag.empty() && tag[0] == '/') {
            EXPECT_FALSE(open.empty()) << "closing " << tag << " with nothing open";
            if (open.empty())
                return {};
            EXPECT_EQ(open.back(), tag.substr(1));
            open.pop_back();
            groups.pop_back();
            continue;
        }
        const bool selfClosing = !tag.empty() && tag.back() == '/';
        if (selfClosing)
            tag.pop_back();
        Element e;
        std::size_t p = tag.find_first_of(" \n");
        e.name = tag.substr(0, p);
        while (p != std::string::npos && p < tag.size()) {
            const std::size_t eq = tag.find('=', p);
            if (eq == std::string::npos)
                break;
            std::string key = tag.substr(p, eq - p);
            key.erase(0, key.find_first_not_of(" \n"));
            EXPECT_EQ('"', tag[eq + 1]) << key;
            const std::size_t close = tag.find('"', eq + 2);
            EXPECT_NE(std::string::npos, close);
            e.attributes[key] = tag.substr(eq + 2, close - eq - 2);
            p = close + 1;
        }
        EXPECT_TRUE(open.empty() ? !root : true) << "a second root element " << e.name;
        root = true;
        e.group = groups.empty() ? "" : groups.back();
        const std::size_t next = text.find('<', i);
        e.text = text.substr(i, next == std::string::npos ? std::string::npos : next - i);
        if (!selfClosing) {
            open.push_back(e.name);
            groups.push_back(e.name == "g" && e.attributes.count("class") != 0
                                 ? e.attributes.at("class")
                                 : e.group);
        }
        elements.push_back(e);
    }
    EXPECT_TRUE(open.empty()) << open.size() << " elements left open";
    return elements;
}

} // namespace kovra_cli

#endif
