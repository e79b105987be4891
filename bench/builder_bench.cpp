// Speed of the package builder's cores: SZDD compression of text, random
// and executable data (this benchmark's own executable), and patch making
// on an executable with edits spread over it.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "builder/diff.h"
#include "builder/szdd_encoder.h"

namespace {

using bytes = std::vector<std::uint8_t>;

bytes text_sample(std::size_t size) {
    const char* words[] = {"the ", "layer ", "brush ", "Pelora ", "canvas, ", "of ", "stroke ", "\r\n", "and ",
                           "filter ", "symbol ", "palette "};
    std::mt19937 random(3);
    bytes out;
    while (out.size() < size)
        for (const char* w = words[random() % 12]; *w; ++w) out.push_back(static_cast<std::uint8_t>(*w));
    out.resize(size);
    return out;
}

bytes random_sample(std::size_t size) {
    std::mt19937 random(4);
    bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

const bytes& executable_sample() {
    static bytes content = [] {
        std::ifstream in("/proc/self/exe", std::ios::binary);
        return bytes(std::istreambuf_iterator<char>(in), {});
    }();
    return content;
}

void compress(benchmark::State& state, const bytes& data) {
    std::size_t compressed = 0;
    for (auto _ : state) compressed = builder::szdd_compress(data).size();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(data.size());
}

void BM_SzddCompressText(benchmark::State& state) {
    static const bytes data = text_sample(4 << 20);
    compress(state, data);
}
BENCHMARK(BM_SzddCompressText)->Unit(benchmark::kMillisecond);

void BM_SzddCompressRandom(benchmark::State& state) {
    static const bytes data = random_sample(4 << 20);
    compress(state, data);
}
BENCHMARK(BM_SzddCompressRandom)->Unit(benchmark::kMillisecond);

void BM_SzddCompressExecutable(benchmark::State& state) { compress(state, executable_sample()); }
BENCHMARK(BM_SzddCompressExecutable)->Unit(benchmark::kMillisecond);

// The executable against a copy with a change every 4 KiB, 64 bytes put in
// every 64 KiB and 1 KiB cut out every 256 KiB.
void BM_MakePatchExecutable(benchmark::State& state) {
    const bytes& old_data = executable_sample();
    bytes new_data;
    std::mt19937 random(5);
    for (std::size_t i = 0; i < old_data.size(); ++i) {
        if (i % (256 << 10) == 1000) i += 1024;
        if (i >= old_data.size()) break;
        if (i % (64 << 10) == 500)
            for (int k = 0; k < 64; ++k) new_data.push_back(static_cast<std::uint8_t>(random()));
        new_data.push_back(i % 4096 == 7 ? static_cast<std::uint8_t>(random()) : old_data[i]);
    }
    std::size_t patch_size = 0;
    for (auto _ : state) patch_size = builder::make_patch(old_data, new_data).size();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * new_data.size()));
    state.counters["patch_bytes"] = static_cast<double>(patch_size);
}
BENCHMARK(BM_MakePatchExecutable)->Unit(benchmark::kMillisecond);

}  // namespace
