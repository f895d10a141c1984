// Runs a fuzzer's entry point once on every file it is given, or on every
// file of every folder it is given, so that builds without libFuzzer (gcc,
// MinGW under Wine) still run the seed corpora as ordinary tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

bool runFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    // A heap copy of exactly the input's size, so that a read past its end
    // is caught by the sanitizers as under libFuzzer.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    input.shrink_to_fit();
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char **argv) {
    int inputs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            for (const auto &entry : std::filesystem::directory_iterator(arg, ec))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            if (files.empty()) {
                std::fprintf(stderr, "no inputs in %s\n", arg.string().c_str());
                ok = false;
            }
        } else {
            files.push_back(arg);
        }
        for (const auto &file : files) {
            ok = runFile(file) && ok;
            ++inputs;
        }
    }
    std::printf("ran %d inputs\n", inputs);
    return ok && inputs > 0 ? 0 : 1;
}
