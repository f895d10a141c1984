// tqvconvert's command line: building a database file from a manifest,
// written so that a failed run leaves the output as it was, and checking a
// database file as the stand-ins read it.
#include "convert.h"

#include "dbfile.h"
#include "output_file.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

namespace tqvconvert {

bool checkDatabaseFile(const std::string &path, std::string &summary, std::string &error) {
    std::string text;
    if (!readFile(path, text, error, tqvs::kDatabaseLimits))
        return false;
    tqvs::Database db;
    std::string problem;
    if (!tqvs::parseDatabase(text, db, problem)) {
        // "line N: ..." becomes "PATH:N: ...", as the converter names lines.
        const std::string prefix = "line ";
        const std::size_t colon = problem.find(": ");
        if (problem.rfind(prefix, 0) == 0 && colon != std::string::npos)
            error = path + ":" + problem.substr(prefix.size(), colon - prefix.size()) +
                    problem.substr(colon);
        else
            error = path + ": " + problem;
        return false;
    }
    summary = path + ": database " + db.name + ", " + std::to_string(db.series.size()) +
              " series, no problem found";
    return true;
}

namespace {

const char *const kUsage =
    "usage: tqvconvert [--data-dir DIR] MANIFEST OUTPUT | tqvconvert check FILE.tqvdb";

int failure(std::ostream &err, const std::string &message) {
    err << "tqvconvert: " << message << '\n';
    return 1;
}

int usage(std::ostream &err, const std::string &message) {
    err << "tqvconvert: " << message << " (" << kUsage << ")\n";
    return 2;
}

// The output is checked and written as kovra writes its charts.
using kovrap_tools::outputProblem;
using kovrap_tools::writeAtomically;

// True, with a message, when the output is the same file as one of the
// inputs (by any name or hard link), which writing would destroy.
bool overwritesAnInput(const std::filesystem::path &target, const std::vector<std::string> &inputs,
                       std::string &error) {
    std::error_code ec;
    if (!std::filesystem::exists(target, ec))
        return false;
    for (const std::string &input : inputs) {
        const std::filesystem::path file = std::filesystem::u8path(input);
        std::error_code same;
        if (std::filesystem::equivalent(target, file, same) && !same) {
            error = target.u8string() + ": the output is the input file " + input +
                    "; give another output";
            return true;
        }
    }
    return false;
}

int convert(const std::string &manifestPath, const std::string &outputPath, std::string dataDir,
            std::string &error) {
    const std::filesystem::path output = std::filesystem::u8path(outputPath);
    if (dataDir.empty())
        dataDir = std::filesystem::u8path(manifestPath).parent_path().u8string();
    if (outputProblem(output, error))
        return 1;
    std::string text;
    Manifest manifest;
    if (!readFile(manifestPath, text, error) || !parseManifest(text, manifestPath, manifest, error))
        return 1;
    std::vector<std::string> inputs = {manifestPath};
    for (const SeriesEntry &entry : manifest.series)
        inputs.push_back(csvPath(entry, dataDir));
    if (overwritesAnInput(output, inputs, error))
        return 1;
    tqvs::Database db;
    if (!buildDatabase(manifest, dataDir, db, error))
        return 1;
    const std::string file = tqvs::formatDatabase(db);
    // What the stand-ins will read must be what was built.
    tqvs::Database check;
    if (!tqvs::parseDatabase(file, check, error)) {
        error = "internal error, the built file does not read back: " + error;
        return 1;
    }
    return writeAtomically(output, file, error) ? 0 : 1;
}

} // namespace

int runTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    std::string dataDir;
    bool haveDataDir = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << kUsage << '\n';
            return 0;
        }
        if (args[i] == "--data-dir") {
            if (i + 1 == args.size())
                return usage(err, "--data-dir needs a folder");
            dataDir = args[++i];
            haveDataDir = true;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usage(err, "unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    const bool check = !positional.empty() && positional[0] == "check";
    if (check && (positional.size() != 2 || haveDataDir))
        return usage(err, "check takes one database file");
    if (!check && positional.size() != 2)
        return usage(err, "needs a manifest and an output file");

    try {
        std::string error;
        if (check) {
            std::string summary;
            if (!checkDatabaseFile(positional[1], summary, error))
                return failure(err, error);
            out << summary << '\n';
            return 0;
        }
        if (convert(positional[0], positional[1], dataDir, error) != 0)
            return failure(err, error);
    } catch (const std::exception &e) {
        return failure(err, e.what());
    }
    return 0;
}

} // namespace tqvconvert
