// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target once on each seed file, without libFuzzer, so that the seed
// corpus is an ordinary test of the normal build. Arguments are files or
// directories (every regular file inside, in name order).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument(argv[i]);
        if (!fs::is_directory(argument)) {
            inputs.push_back(argument);
            continue;
        }
        std::vector<fs::path> inside;
        for (const fs::directory_entry &entry : fs::directory_iterator(argument))
            if (entry.is_regular_file())
                inside.push_back(entry.path());
        std::ranges::sort(inside);
        inputs.insert(inputs.end(), inside.begin(), inside.end());
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s SEED-FILE-OR-DIRECTORY...\n", argv[0]);
        return 2;
    }
    for (const fs::path &input : inputs) {
        std::ifstream file(input, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                              std::istreambuf_iterator<char>()};
        std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu inputs passed\n", inputs.size());
    return 0;
}
