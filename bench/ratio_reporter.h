// The console reporter of the benchmarks whose summary pairs a plain run with the library's: it
// keeps each run's CPU and wall times per iteration by name, and each summary picks the clock
// that suits its case.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvel {

class ratio_reporter : public benchmark::ConsoleReporter {
public:
    struct times {
        double cpu;
        double wall;
    };
    std::map<std::string, times> seconds;
    std::map<std::string, benchmark::UserCounters> counters;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0) {
                seconds[run.run_name.function_name] = {
                    run.cpu_accumulated_time / static_cast<double>(run.iterations),
                    run.real_accumulated_time / static_cast<double>(run.iterations)};
                counters[run.run_name.function_name] = run.counters;
            }
        ConsoleReporter::ReportRuns(runs);
    }

    // A counter of a run that reported it, or 0.
    double counter(const std::string& run, const std::string& name) const {
        const auto found = counters.find(run);
        if (found == counters.end()) return 0;
        const auto value = found->second.find(name);
        return value == found->second.end() ? 0 : value->second.value;
    }

    // The times of the plain run and of the library's, unless either failed or was filtered out.
    std::optional<std::pair<times, times>> pair(const std::string& plain,
                                                const std::string& library) const {
        const auto p = seconds.find(plain);
        const auto k = seconds.find(library);
        if (p == seconds.end() || k == seconds.end()) return std::nullopt;
        return std::pair{p->second, k->second};
    }

    // A case of the summary: its name, its two runs' names, and whether they made the same bytes.
    struct pair_row {
        std::string name, plain, library;
        bool identical;
    };

    // One line per case that both runs ran: the times per iteration on the clock the summary
    // reads (CPU time, or the wall clock where threads make the split), both ratios, the bytes.
    void print_pairs(const char* heading, bool wall_clock,
                     const std::vector<pair_row>& rows) const {
        std::printf("\n%-48s %9s %9s %7s %7s  %s\n", heading, "plain ms", "korvel ms", "ratio",
                    "wall", "bytes");
        for (const pair_row& row : rows) {
            const auto both = pair(row.plain, row.library);
            if (!both) continue;
            const auto& [p, k] = *both;
            std::printf("%-48s %9.2f %9.2f %6.2fx %6.2fx  %s\n", row.name.c_str(),
                        (wall_clock ? p.wall : p.cpu) * 1e3, (wall_clock ? k.wall : k.cpu) * 1e3,
                        p.cpu / k.cpu, p.wall / k.wall, row.identical ? "identical" : "DIFFERENT");
        }
    }
};

// The main function's work once the benchmarks are registered: runs those the command line picks
// and then prints summary(reporter); 1 for arguments Google Benchmark does not know.
template <typename Summary>
int run_benchmarks(int argc, char** argv, Summary summary) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    summary(reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace korvel
