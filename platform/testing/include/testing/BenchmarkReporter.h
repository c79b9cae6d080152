#pragma once
// A console reporter that also keeps each benchmark's throughput, so a benchmark program can print
// ratios between figures measured in the same run. A benchmark run with repetitions counts by the median
// of its repetitions, which holds still from run to run where a single figure does not.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <set>
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
            if (run.error_occurred || it == run.counters.end())
                continue;
            double megabytes = it->second.value / 1e6;
            // Named as without repetitions, so a program finds its figures by the plain name.
            benchmark::BenchmarkName plain = run.run_name;
            plain.repetitions.clear();
            std::string name = plain.str();
            if (run.run_type == Run::RT_Iteration) {
                m_repetitions[name].push_back(megabytes);
                if (!m_reportedMedian.contains(name))
                    m_megabytesPerSecond[name] = Median(m_repetitions[name]);
            } else if (run.aggregate_name == "median") {
                // The library's own median also stands when only aggregates are reported.
                m_reportedMedian.insert(name);
                m_megabytesPerSecond[name] = megabytes;
            }
        }
    }
    // MB/s of a benchmark by name (the median of its repetitions), 0 when it did not run.
    double MegabytesPerSecond(const std::string& name) const {
        auto it = m_megabytesPerSecond.find(name);
        return it == m_megabytesPerSecond.end() ? 0 : it->second;
    }
    const std::map<std::string, double>& All() const { return m_megabytesPerSecond; }

private:
    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        size_t half = values.size() / 2;
        return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
    }

    bool m_quiet;
    std::map<std::string, std::vector<double>> m_repetitions;
    std::set<std::string> m_reportedMedian;
    std::map<std::string, double> m_megabytesPerSecond;
};

} // namespace testing_support
