// Micro-benchmarks of the start-up work that runs on every launch, each next to
// a variant that shows what a design choice buys (compare the pairs' ratios
// in one run, not absolute times across machines).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/extract.h"
#include "jvm/versions.h"
#include "launcher/config_block.h"
#include "launcher/log.h"
#include "windows/args.h"
#include "windows/expand.h"

namespace {
void put32(std::string& b, int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A minimal PE32+ header with one section whose raw data ends at 0x400, then a block.
std::string executableWithBlock(int entries) {
    std::string b(0x400, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    const int pe = 0x80;
    b[60] = static_cast<char>(pe);
    b.replace(pe, 4, std::string("PE\0\0", 4));
    b[pe + 6] = 1;                       // one section
    b[pe + 20] = static_cast<char>(240); // size of the optional header
    const int section = pe + 24 + 240;
    b[section + 16] = 0x00;              // raw data size 0x200
    b[section + 17] = 0x02;
    b[section + 20] = 0x00;              // raw data offset 0x200
    b[section + 21] = 0x02;
    put32(b, static_cast<int32_t>(kConfigMagic));
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, entries);
    for (int i = 0; i < entries; ++i) {
        std::string value = "value of setting number " + std::to_string(i);
        put32(b, 1000 + i);
        put32(b, static_cast<int32_t>(value.size()));
        b += value;
    }
    put32(b, 0);
    put32(b, 0);
    return b;
}

void BM_DecodeBlock(benchmark::State& state) {
    std::string exe = executableWithBlock(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MemoryByteSource source(exe);
        ConfigData data;
        benchmark::DoNotOptimize(decodeConfigBlock(source, [] { return std::string("en_US"); }, &data));
    }
    hostLogClear();
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecodeBlock)->Arg(80)->Arg(800)->Complexity();

void BM_SplitCommandLine(benchmark::State& state) {
    std::u16string line = u"\"C:\\Program Files\\My App\\app.exe\"";
    for (int i = 0; i < state.range(0); ++i) line += u" -Dname" + std::u16string(1, u'a' + i % 26) + u"=\"a value\" 'x y' plain";
    for (auto _ : state) {
        std::vector<std::u16string> tokens;
        splitArguments(line, tokens);
        benchmark::DoNotOptimize(tokens.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplitCommandLine)->Arg(10)->Arg(100)->Complexity();

// Expansion runs once per configured text: 21 fixed patterns plus two per environment entry.
void BM_ExpandVariables(benchmark::State& state) {
    ExpansionContext context{"C:\\App\\", "", "C:\\jre\\bin\\..", "C:\\Temp\\", {}};
    for (int i = 0; i < state.range(0); ++i) context.environment.push_back("VAR" + std::to_string(i) + "=value");
    for (auto _ : state) {
        std::string text = "-Dapp.home=%TOVEX_EXEDIR% -Dvar=${VAR3} -cp ${launcher:sys.launcherDirectory}lib";
        expandVariablesWith(text, context);
        benchmark::DoNotOptimize(text.data());
        hostLogClear();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ExpandVariables)->Arg(30)->Arg(300)->Complexity();

void BM_OrderRegisteredVersions(benchmark::State& state) {
    std::vector<std::string> names;
    for (int i = 0; i < state.range(0); ++i) names.push_back("1." + std::to_string(6 + i % 3) + ".0_" + std::to_string(i));
    for (auto _ : state) benchmark::DoNotOptimize(orderRegisteredVersions(names, "1.6", "1.8"));
}
BENCHMARK(BM_OrderRegisteredVersions)->Arg(8)->Arg(64);
// Unscrambling one 8192-byte chunk of an appended file, next to the byte loop it replaced.
void BM_UnscrambleChunk(benchmark::State& state) {
    std::vector<unsigned char> chunk(kCopyChunkSize, 0x5A);
    for (auto _ : state) {
        unscrambleBytes(chunk.data(), chunk.size());
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(chunk.size()));
}
BENCHMARK(BM_UnscrambleChunk);

void BM_UnscrambleChunkByteLoop(benchmark::State& state) {
    std::vector<unsigned char> chunk(kCopyChunkSize, 0x5A);
    for (auto _ : state) {
        unsigned char* data = chunk.data();
        for (size_t i = 0; i < chunk.size(); ++i) {
            data[i] ^= kScrambleByte;
            benchmark::ClobberMemory();  // one byte at a time, as at -Os
        }
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(chunk.size()));
}
BENCHMARK(BM_UnscrambleChunkByteLoop);
}  // namespace
