// Inflate against zlib's inflate, and whole PNG decodes against libpng, on the same inputs; prints each
// pair's ratio after the run.
#include "Inflate.h"
#include "PngDecoder.h"
#include "PngTestSupport.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace {

Bytes TextLike(std::mt19937& random, size_t size) {
    static const char* const kWords[] = {"container", "folder", "the", "mount", "skin", "bitmap", "of",
                                         "password",  "layer",  "a",   "and",   "to",   "\n"};
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::string text;
    while (text.size() < size) {
        text += kWords[word(random)];
        text += ' ';
    }
    text.resize(size);
    return Bytes(text.begin(), text.end());
}

// A smooth picture with some noise, like a skin bitmap.
PngImage Picture(std::mt19937& random, uint32_t width, uint32_t height, int colorType, bool interlaced) {
    PngImage image = RandomImage(random, width, height, 8, colorType, interlaced);
    std::uniform_int_distribution<int> noise(0, 3);
    int channels = ChannelsOf(colorType);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                image.rows[y][x * channels + c] =
                    uint8_t((c == 3 ? 255 - (x + y) / 8 : (x * (c + 1) + y * (3 - c)) / 4) + noise(random));
    image.filters = -1;
    return image;
}

struct InflateInput {
    std::string name;
    Bytes data;
    Bytes stream;
};

std::vector<InflateInput> InflateInputs() {
    std::mt19937 random(1);
    std::vector<InflateInput> inputs;
    Bytes text = TextLike(random, 1 << 20);
    inputs.push_back({"text", text, ZlibCompress(text, 6, Z_DEFAULT_STRATEGY)});
    // The data inside a PNG: filtered rows of a picture.
    Bytes picture;
    PngImage image = Picture(random, 640, 480, 6, false);
    for (const Bytes& row : image.rows) {
        picture.push_back(0);
        Append(picture, row);
    }
    inputs.push_back({"picture", picture, ZlibCompress(picture, 6, Z_FILTERED)});
    Bytes noise(1 << 18);
    for (auto& b : noise)
        b = uint8_t(random());
    inputs.push_back({"random", noise, ZlibCompress(noise, 6, Z_DEFAULT_STRATEGY)});
    return inputs;
}

void InflateOurs(benchmark::State& state, const InflateInput& input) {
    Bytes out(input.data.size());
    for (auto _ : state) {
        ResetPngInfo();
        ZlibDecompress(out.data(), input.stream.data(), uint32_t(out.size()), uint32_t(input.stream.size()));
        benchmark::DoNotOptimize(out.data());
    }
    if (PngHasError() || out != input.data)
        state.SkipWithError("wrong output");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

void InflateZlib(benchmark::State& state, const InflateInput& input) {
    Bytes out(input.data.size());
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        int result = uncompress(out.data(), &size, input.stream.data(), uLong(input.stream.size()));
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

struct PngInput {
    std::string name;
    Bytes file;
};

std::vector<PngInput> PngInputs() {
    std::mt19937 random(2);
    return {{"rgba_640x480", EncodeWithLibpng(Picture(random, 640, 480, 6, false))},
            {"rgb_240x320", EncodeWithLibpng(Picture(random, 240, 320, 2, false))},
            {"rgba_640x480_interlaced", EncodeWithLibpng(Picture(random, 640, 480, 6, true))}};
}

void DecodeOurs(benchmark::State& state, const PngInput& input) {
    Bytes raw;
    for (auto _ : state) {
        Bytes file = input.file;
        DecodePng(file, raw);
        benchmark::DoNotOptimize(raw.data());
    }
    if (PngHasError() || raw != DecodeWithLibpng(input.file))
        state.SkipWithError("wrong pixels");
}

void DecodeLibpng(benchmark::State& state, const PngInput& input) {
    for (auto _ : state) {
        Bytes raw = DecodeWithLibpng(input.file);
        benchmark::DoNotOptimize(raw.data());
    }
}

// Keeps each run's time per iteration besides printing it.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double TimeOf(const std::string& name) const {
        auto found = m_times.find(name);
        return found == m_times.end() ? 0 : found->second;
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<InflateInput> inflateInputs = InflateInputs();
    std::vector<PngInput> pngInputs = PngInputs();
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const InflateInput& input : inflateInputs) {
        std::string ours = "Inflate/ours/" + input.name;
        std::string zlib = "Inflate/zlib/" + input.name;
        benchmark::RegisterBenchmark(ours.c_str(), InflateOurs, input)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(zlib.c_str(), InflateZlib, input)->Unit(benchmark::kMicrosecond);
        pairs.emplace_back(ours, zlib);
    }
    for (const PngInput& input : pngInputs) {
        std::string ours = "DecodePng/ours/" + input.name;
        std::string libpng = "DecodePng/libpng/" + input.name;
        benchmark::RegisterBenchmark(ours.c_str(), DecodeOurs, input)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(libpng.c_str(), DecodeLibpng, input)->Unit(benchmark::kMicrosecond);
        pairs.emplace_back(ours, libpng);
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-40s %12s %12s %8s\n", "ratio (ours / reference)", "ours us", "reference us", "ratio");
    for (const auto& [ours, reference] : pairs) {
        double oursTime = reporter.TimeOf(ours);
        double referenceTime = reporter.TimeOf(reference);
        if (oursTime == 0 || referenceTime == 0)
            continue;
        std::printf("%-40s %12.1f %12.1f %8.2f\n", ours.c_str(), oursTime, referenceTime,
                    oursTime / referenceTime);
    }
    benchmark::Shutdown();
    return 0;
}
