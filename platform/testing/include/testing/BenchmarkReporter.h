#pragma once
// A console reporter that also keeps each benchmark's throughput, so a benchmark program can print
// ratios between figures measured in the same run.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

class ThroughputReporter : public benchmark::ConsoleReporter {
public:
    // quiet: keep the figures without printing the usual table.
    explicit ThroughputReporter(bool quiet = false) : m_quiet(quiet) {}

    // Runs the benchmarks that the command line selects through this reporter: a benchmark program's main.
    void RunSelected(int& argc, char** argv) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks(this);
        benchmark::Shutdown();
    }

    bool ReportContext(const Context& context) override {
        return m_quiet || ConsoleReporter::ReportContext(context);
    }
    void ReportRuns(const std::vector<Run>& runs) override {
        if (!m_quiet)
            ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end())
                m_megabytesPerSecond[run.benchmark_name()] = it->second.value / 1e6;
        }
    }
    // MB/s of a benchmark by name, 0 when it did not run.
    double MegabytesPerSecond(const std::string& name) const {
        auto it = m_megabytesPerSecond.find(name);
        return it == m_megabytesPerSecond.end() ? 0 : it->second;
    }
    const std::map<std::string, double>& All() const { return m_megabytesPerSecond; }

private:
    bool m_quiet;
    std::map<std::string, double> m_megabytesPerSecond;
};

} // namespace testing_support
