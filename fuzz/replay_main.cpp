// Replays saved inputs through a fuzz target without libFuzzer: every file named on the command
// line, or found in a folder named there, in name order. Any failed check aborts the program.
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; i++) {
        std::filesystem::path given(argv[i]);
        if (std::filesystem::is_directory(given)) {
            for (const auto &entry : std::filesystem::directory_iterator(given))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else {
            inputs.push_back(given);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    for (const auto &input : inputs) {
        std::string bytes = ReadWholeFile(input.u8string());
        fprintf(stderr, "replay: %s (%zu bytes)\n", input.filename().string().c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    fprintf(stderr, "replay: %zu inputs passed\n", inputs.size());
    return 0;
}
