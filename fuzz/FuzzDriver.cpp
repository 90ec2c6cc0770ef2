// Replays a fuzz target's seed files, then a bounded number of deterministic
// mutations of them, so every build exercises the target without libFuzzer.
// --runs=N makes N mutations in all; --runs-per-seed=N makes N of each seed,
// so that a replay grows with the cases its corpus holds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
std::vector<std::vector<uint8_t>> LoadSeeds(const std::string& path) {
    std::vector<std::vector<uint8_t>> seeds;
    std::error_code ec;
    auto load = [&](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    if (std::filesystem::is_directory(path, ec)) {
        std::vector<std::filesystem::path> files;
        for (auto& e : std::filesystem::directory_iterator(path, ec))
            if (e.is_regular_file()) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (auto& f : files) load(f);
    } else if (std::filesystem::is_regular_file(path, ec)) {
        load(path);
    }
    return seeds;
}

void Mutate(std::vector<uint8_t>& d, std::mt19937& rng) {
    int edits = 1 + rng() % 8;
    for (int i = 0; i < edits; ++i) {
        switch (rng() % 6) {
        case 0: if (!d.empty()) d[rng() % d.size()] = uint8_t(rng()); break;
        case 1: if (!d.empty()) d[rng() % d.size()] ^= uint8_t(1u << (rng() % 8)); break;
        case 2: if (!d.empty()) d.erase(d.begin() + rng() % d.size()); break;
        case 3: d.insert(d.begin() + (d.empty() ? 0 : rng() % d.size()), uint8_t(rng())); break;
        case 4: if (!d.empty()) d.resize(rng() % d.size()); break;
        case 5: {
            static const uint8_t interesting[] = {0x00, 0x7f, 0x80, 0xff};
            if (d.size() >= 4) {
                size_t at = rng() % (d.size() - 3);
                for (int k = 0; k < 4; ++k) d[at + k] = interesting[rng() % 4];
            }
            break;
        }
        }
    }
}
} // namespace

int main(int argc, char** argv) {
    long runs = 1000, perSeed = 0;
    std::vector<std::vector<uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::strtol(argv[i] + 7, nullptr, 10);
        else if (std::strncmp(argv[i], "--runs-per-seed=", 16) == 0)
            perSeed = std::strtol(argv[i] + 16, nullptr, 10);
        else {
            auto more = LoadSeeds(argv[i]);
            seeds.insert(seeds.end(), more.begin(), more.end());
        }
    }
    if (seeds.empty()) seeds.emplace_back();
    if (perSeed > 0) runs = perSeed * long(seeds.size());
    for (auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());
    std::mt19937 rng(12345);
    for (long r = 0; r < runs; ++r) {
        std::vector<uint8_t> d = seeds[r % seeds.size()];
        Mutate(d, rng);
        LLVMFuzzerTestOneInput(d.data(), d.size());
    }
    std::printf("fuzz: %zu seeds, %ld mutations, no fault\n", seeds.size(), runs);
    return 0;
}
