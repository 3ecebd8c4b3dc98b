// Runs a harness once over each input, for builds without libFuzzer: the files named on the
// command line and every file in the folders named there.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "FuzzSupport.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs(argv + 1, argv + argc);
    for (int i = 1; i < argc; ++i)
        if (fs::is_directory(argv[i]))
            for (const fs::path& entry : fs::directory_iterator(argv[i])) inputs.push_back(entry);
    inputs.erase(std::remove_if(inputs.begin(), inputs.end(),
                                [](const fs::path& p) { return !fs::is_regular_file(p); }),
                 inputs.end());
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        std::cerr << "replay " << input.string() << "\n";
        FUZZ_CHECK(in, "cannot read %s", input.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::cout << inputs.size() << " inputs passed\n";
    return inputs.empty() ? 1 : 0;
}
