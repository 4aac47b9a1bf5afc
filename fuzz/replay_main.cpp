// Runs a fuzz target once over every input file of the folders given, in name order, as
// the ordinary builds' regression test of the committed corpus. A failing input aborts the
// program (the target's own checks, or the sanitizers of the asan build); its name is
// printed first, so the test log names it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> inputs;
        std::error_code ec;
        for (const fs::directory_entry& e : fs::directory_iterator(argv[i], ec)) {
            if (e.is_regular_file()) inputs.push_back(e.path());
        }
        if (ec || inputs.empty()) {
            std::fprintf(stderr, "%s: no inputs to replay\n", argv[i]);
            return 1;
        }
        std::sort(inputs.begin(), inputs.end());
        for (const fs::path& p : inputs) {
            std::ifstream in(p, std::ios::binary);
            const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
            std::printf("%s\n", p.filename().string().c_str());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(data.data(), data.size());
            ++count;
        }
    }
    std::printf("%zu inputs replayed\n", count);
    return 0;
}
