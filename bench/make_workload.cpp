// make_workload: writes one of the benchmark's input sequences (or the small sample) into a
// folder as 0001.png, 0002.png, ..., skipping the work when the folder already holds it.
#include "bench/workload_folder.h"
#include "bench/workload_frames.h"
#include "image/codec.h"
#include "image/image.h"
#include "image/png_codec.h"

#include <getopt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace korvel {
namespace {

constexpr int status_usage = 2;

void print_usage(std::FILE* to) {
    std::fputs(
        "usage: make_workload [--threads N] [--force] PRESET FOLDER\n"
        "       make_workload --list\n"
        "Writes PRESET's frames into FOLDER as 0001.png, 0002.png, ... and a stamp file;\n"
        "a folder that already holds them is left alone unless --force is given. Frames are\n"
        "written on N threads at once (default: every processor).\n"
        "--list prints every preset as: name frames width height depth layers\n",
        to);
}

int usage_error(const char* message) {
    std::fprintf(stderr, "make_workload: %s (see --help)\n", message);
    return status_usage;
}

void list_presets() {
    for (std::int32_t i = 0; i < workload_preset_count(); ++i) {
        const workload_preset& p = workload_presets()[i];
        std::printf("%s %d %d %d %d %d\n", p.name, p.frames, p.width, p.height, p.depth, p.layers);
    }
}

int report(const workload_preset& preset, const std::string& folder, const workload_outcome& out,
           double seconds) {
    switch (out.result) {
    case workload_result::already_complete:
        std::printf("%s: %s already holds the complete workload\n", preset.name, folder.c_str());
        return 0;
    case workload_result::written:
        std::printf("%s: %d frames of %d x %d (%d-bit) written to %s in %.1f s\n", preset.name,
                    preset.frames, preset.width, preset.height, preset.depth, folder.c_str(),
                    seconds);
        return 0;
    case workload_result::foreign_files:
        std::fprintf(stderr,
                     "make_workload: %s holds %s, which this program did not write; "
                     "choose an empty folder\n",
                     folder.c_str(), out.detail.c_str());
        return 1;
    case workload_result::failed:
        break;
    }
    std::fprintf(stderr, "make_workload: %s: %s\n", folder.c_str(), out.detail.c_str());
    return 1;
}

int generate(const workload_preset& preset, const std::string& folder, bool force,
             std::int32_t threads) {
    images_init();
    codecs_init();
    png_encoder_register();
    const auto start = std::chrono::steady_clock::now();
    const workload_outcome outcome = workload_generate(preset, folder, force, threads);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return report(preset, folder, outcome, took.count());
}

int run(int argc, char** argv) {
    static const option options[] = {{"threads", required_argument, nullptr, 'j'},
                                     {"force", no_argument, nullptr, 'f'},
                                     {"list", no_argument, nullptr, 'l'},
                                     {"help", no_argument, nullptr, 'h'},
                                     {nullptr, 0, nullptr, 0}};
    long threads = 0;
    bool force = false;
    for (int c; (c = getopt_long(argc, argv, "j:fh", options, nullptr)) != -1;) {
        char* end = nullptr;
        switch (c) {
        case 'j':
            threads = std::strtol(optarg, &end, 10);
            if (end == optarg || *end != 0 || threads < 1 || threads > 4096)
                return usage_error("--threads takes a number from 1 to 4096");
            break;
        case 'f':
            force = true;
            break;
        case 'l':
            list_presets();
            return 0;
        case 'h':
            print_usage(stdout);
            return 0;
        default:
            return usage_error("unknown option");
        }
    }
    if (argc - optind != 2) return usage_error("a preset and a folder are needed");
    const workload_preset* preset = workload_preset_find(argv[optind]);
    if (preset == nullptr) return usage_error("unknown preset; --list shows them");
    if (threads == 0) threads = std::max(1U, std::thread::hardware_concurrency());
    return generate(*preset, argv[optind + 1], force, static_cast<std::int32_t>(threads));
}

} // namespace
} // namespace korvel

int main(int argc, char** argv) {
    return korvel::run(argc, argv);
}
