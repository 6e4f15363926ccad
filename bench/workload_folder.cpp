// Generating a workload folder: frames in parallel, each painted into a numbered image and saved
// with the project's own PNG encoder; the stamp is written last, so an interrupted run is simply
// generated again.
#include "bench/workload_folder.h"

#include "image/codec.h"
#include "image/image.h"
#include "runtime/utf.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>
#include <vector>

namespace korvel {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t min_digits = 4;

std::string read_small_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool is_complete(const workload_preset& preset, const fs::path& folder) {
    std::error_code error;
    if (read_small_file(folder / WORKLOAD_STAMP) != workload_stamp_text(preset)) return false;
    for (std::int32_t i = 0; i < preset.frames; ++i)
        if (!fs::is_regular_file(folder / workload_frame_name(preset, i), error)) return false;
    return true;
}

// The frame number of a name the generator writes ("0042.png" gives 42), or 0 for any other.
std::int64_t frame_number_of(const std::string& name) {
    const std::size_t digits = name.size() - std::min<std::size_t>(name.size(), 4);
    if (digits < min_digits || digits > 9 || name.substr(digits) != ".png") return 0;
    if (!std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(digits),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return 0;
    return std::stoll(name.substr(0, digits));
}

// Takes stock of the folder's PNG files: numbered frames past the preset's end are removed, and
// any other PNG file stops the generation (its name comes back) rather than be mixed into the
// sequence or deleted.
std::string clear_stale_frames(const workload_preset& preset, const fs::path& folder,
                               std::error_code& error) {
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const fs::path& path = it->path();
        if (path.extension() != ".png") continue;
        const std::int64_t number = frame_number_of(path.filename().string());
        if (number == 0) return path.filename().string();
        if (number > preset.frames) stale.push_back(path);
    }
    for (const fs::path& path : stale)
        fs::remove(path, error);
    return {};
}

// Each thread takes the next unwritten frame until none is left; frames are independent, so the
// files do not depend on the number of threads or on who wrote which.
std::int32_t write_frames(const workload_preset& preset, const fs::path& folder,
                          std::int32_t threads) {
    std::atomic<std::int32_t> next{0};
    std::atomic<std::int32_t> failures{0};
    auto work = [&] {
        for (std::int32_t i; (i = next.fetch_add(1)) < preset.frames;) {
            const fs::path path = folder / workload_frame_name(preset, i);
            if (!workload_write_frame(preset, i, path.string())) failures.fetch_add(1);
        }
    };
    std::vector<std::thread> helpers;
    for (std::int32_t t = 1; t < threads; ++t) {
        // A thread the system refuses only makes the generation slower.
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    return failures.load();
}

bool write_stamp(const workload_preset& preset, const fs::path& folder) {
    std::ofstream out(folder / WORKLOAD_STAMP, std::ios::binary | std::ios::trunc);
    out << workload_stamp_text(preset);
    out.close();
    return !out.fail();
}

workload_outcome failure(std::string detail) {
    return {workload_result::failed, std::move(detail)};
}

} // namespace

std::string workload_frame_name(const workload_preset& preset, std::int32_t index) {
    std::string number = std::to_string(index + 1);
    const std::size_t width = std::max(min_digits, std::to_string(preset.frames).size());
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return number + ".png";
}

// The version number changes whenever the painting does, so that old folders are regenerated.
std::string workload_stamp_text(const workload_preset& preset) {
    return "korvel workload 1: " + std::string(preset.name) + ", " + std::to_string(preset.frames) +
           " frames of " + std::to_string(preset.width) + " x " + std::to_string(preset.height) +
           " at " + std::to_string(preset.depth) + " bits\n";
}

bool workload_write_frame(const workload_preset& preset, std::int32_t index,
                          const std::string& path) {
    const obj_number image =
        image_create(NUMBER_ANY, preset.width, preset.height,
                     static_cast<std::uint32_t>(preset.depth) | IMAGE_TRANSPARENT);
    if (image == 0) return false;
    const image_record* record = image_lookup(image);
    bitmap* pixels = record == nullptr ? nullptr : bitmap_get(record->handle);
    bool saved = false;
    if (pixels != nullptr && pixels->pixels != nullptr) {
        workload_paint(preset, index, pixels->pixels, pixels->stride);
        saved = image_save(image, utf16_from_utf8(path).c_str(), ENCODER_PNG) != 0;
    }
    image_free(image);
    return saved;
}

workload_outcome workload_generate(const workload_preset& preset, const std::string& folder,
                                   bool force, std::int32_t threads) {
    const fs::path root(folder);
    std::error_code error;
    fs::create_directories(root, error);
    if (error) return failure("cannot create " + folder + ": " + error.message());
    if (!force && is_complete(preset, root)) return {workload_result::already_complete, {}};

    const std::string foreign = clear_stale_frames(preset, root, error);
    if (!foreign.empty()) return {workload_result::foreign_files, foreign};
    if (error) return failure("cannot list " + folder + ": " + error.message());
    fs::remove(root / WORKLOAD_STAMP, error);
    if (error) return failure("cannot remove the old stamp: " + error.message());

    const std::int32_t failures = write_frames(preset, root, threads);
    if (failures > 0) return failure(std::to_string(failures) + " frames could not be written");
    if (!write_stamp(preset, root)) return failure("cannot write the stamp file");
    return {workload_result::written, {}};
}

} // namespace korvel
