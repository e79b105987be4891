// Throughput of the patch engine: SZDD expansion and patch application, on
// files of a few megabytes. Expansion input comes from the mscompress tool,
// so the mix of literals and matches is a real compressor's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/little_endian.h"
#include "formats/szdd.h"
#include "patch/apply_patch.h"
#include "patch/expand.h"
#include "patch/patch_body.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

using bytes = std::vector<std::uint8_t>;

std::string scratch(const std::string& name) { return "/tmp/plbench-" + name; }

void save(const std::string& path, const bytes& content) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                static_cast<std::streamsize>(content.size()));
}

bytes load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), {});
}

// Executable-like content: text, repeated structures and some noise.
bytes sample_content(std::size_t size) {
    std::mt19937 random(7);
    bytes out;
    const char* words[] = {"Pelora ", "drawing ", "layer ", "brush ", "\r\n", "symbol ", "filter ", "0000 "};
    while (out.size() < size) {
        switch (random() % 4) {
        case 0:
            for (const char* w = words[random() % 8]; *w; ++w) out.push_back(static_cast<std::uint8_t>(*w));
            break;
        case 1:
            for (int i = 0; i < 16; ++i) out.push_back(static_cast<std::uint8_t>(random()));
            break;
        default: {
            std::size_t back = 1 + random() % 4000, length = 4 + random() % 40;
            for (std::size_t i = 0; i < length && back <= out.size(); ++i) out.push_back(out[out.size() - back]);
        }
        }
    }
    out.resize(size);
    return out;
}

const bytes& compressed_sample() {
    static bytes compressed = [] {
        save(scratch("sample"), sample_content(4 << 20));
        std::remove((scratch("sample") + "_").c_str());  // mscompress will not overwrite
        std::string command = "mscompress " + scratch("sample");
        if (std::system(command.c_str()) != 0) std::abort();
        return load(scratch("sample") + "_");
    }();
    return compressed;
}

void BM_SzddDecodeInMemory(benchmark::State& state) {
    const bytes& compressed = compressed_sample();
    formats::szdd_header header;
    formats::parse_szdd_header(compressed, &header);
    bytes out(header.expanded_length);
    for (auto _ : state) {
        formats::szdd_decoder decoder;
        formats::szdd_decoder_start(&decoder, header.expanded_length);
        std::size_t used = 0;
        std::span<const std::uint8_t> input(compressed.data() + formats::szdd_header_size,
                                            compressed.size() - formats::szdd_header_size);
        benchmark::DoNotOptimize(formats::szdd_decode(&decoder, input, &used, out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * header.expanded_length);
}
BENCHMARK(BM_SzddDecodeInMemory)->Unit(benchmark::kMillisecond);

// The whole expand operation: file in, 32000-byte reads, file out.
void BM_ExpandFile(benchmark::State& state) {
    const bytes& compressed = compressed_sample();
    formats::szdd_header header;
    formats::parse_szdd_header(compressed, &header);
    std::string source = platform::path_from_command_line(scratch("expand.cab").c_str());
    std::string target = platform::path_from_command_line(scratch("expand.out").c_str());
    for (auto _ : state) {
        state.PauseTiming();
        save(scratch("expand.cab"), compressed);
        state.ResumeTiming();
        if (patch::expand(source.c_str(), target.c_str()) != patch::expand_result::ok)
            state.SkipWithError("expand failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * header.expanded_length);
}
BENCHMARK(BM_ExpandFile)->Unit(benchmark::kMillisecond);

// A patch in the shape of a release: short runs between changed bytes,
// with a block now and then.
bytes sample_patch(const bytes& old_file, bytes* new_file) {
    std::mt19937 random(11);
    bytes body;
    std::size_t cursor = 0;
    new_file->clear();
    while (cursor + 300 < old_file.size()) {
        if (random() % 64 == 0) {
            std::uint32_t source = random() % (old_file.size() - 5000), copy = 1000 + random() % 3000, literal = 8;
            std::uint32_t next = static_cast<std::uint32_t>(cursor + 100);
            body.push_back(patch::op_block);
            for (std::uint32_t v : {source, copy, literal, next}) formats::append_u32(&body, v);
            new_file->insert(new_file->end(), old_file.begin() + source, old_file.begin() + source + copy);
            for (std::uint32_t i = 0; i < literal; ++i) {
                body.push_back(static_cast<std::uint8_t>(i));
                new_file->push_back(static_cast<std::uint8_t>(i));
            }
            cursor = next;
            continue;
        }
        std::size_t count = random() % 200;
        if (count < 128) {
            body.push_back(static_cast<std::uint8_t>(0x80 | count));
        } else {
            body.push_back(patch::op_run8);
            body.push_back(static_cast<std::uint8_t>(count));
        }
        std::uint8_t literal = static_cast<std::uint8_t>(random());
        body.push_back(literal);
        new_file->insert(new_file->end(), old_file.begin() + cursor, old_file.begin() + cursor + count);
        new_file->push_back(literal);
        cursor += count + 1;
    }
    std::uint32_t sum = 0;
    for (std::uint8_t b : *new_file) sum += static_cast<std::uint32_t>(static_cast<std::int8_t>(b));
    formats::append_u32(&body, sum);
    return body;
}

void BM_ApplyPatch(benchmark::State& state) {
    bytes old_file = sample_content(4 << 20), new_file;
    bytes patch_file = sample_patch(old_file, &new_file);
    save(scratch("old.bin"), old_file);
    save(scratch("patch.bin"), patch_file);
    for (auto _ : state) {
        patch::file_record p{platform::path_from_command_line(scratch("patch.bin").c_str())};
        patch::file_record o{platform::path_from_command_line(scratch("old.bin").c_str())};
        patch::file_record n{platform::path_from_command_line(scratch("new.bin").c_str())};
        if (patch::apply_patch(&p, &o, &n) != patch::patch_result::verified)
            state.SkipWithError("apply failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * new_file.size()));
}
BENCHMARK(BM_ApplyPatch)->Unit(benchmark::kMillisecond);

}  // namespace
