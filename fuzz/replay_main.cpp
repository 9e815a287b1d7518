// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target over saved inputs without libFuzzer: every file of the
// folders (or the files) named on the command line, in name order, hidden
// files skipped.  Built with the ordinary compiler, so that the corpus and
// every crash ever found run as a test under the sanitizers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

namespace {

bool runFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so that a read past the end is seen.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER|FILE...\n", argv[0]);
        return 2;
    }
    int total = 0;
    for (int a = 1; a < argc; ++a) {
        const fs::path where(argv[a]);
        std::vector<fs::path> files;
        std::error_code error;
        if (fs::is_regular_file(where, error)) {
            files.push_back(where);
        } else if (fs::is_directory(where, error)) {
            for (const fs::directory_entry &entry : fs::directory_iterator(where, error)) {
                if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
        } else {
            std::fprintf(stderr, "no such folder or file: %s\n", argv[a]);
            return 1;
        }
        for (const fs::path &file : files) {
            if (!runFile(file))
                return 1;
        }
        std::printf("%zu inputs of %s\n", files.size(), argv[a]);
        total += int(files.size());
    }
    std::printf("%d inputs replayed without a fault\n", total);
    return 0;
}
