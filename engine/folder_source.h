// A folder's "*.png" files as input frames, in the order of their names: listed once, the last
// one probed for the resolution, decoded ahead along the job's plan on other cores.
#pragma once

#include "engine/coming_loads.h"
#include "engine/decode_cache.h"
#include "engine/frame_source.h"

#include <memory>
#include <string>

namespace korvel {

struct folder_scan {
    std::shared_ptr<const name_list> names; // null when the folder cannot be read
    std::int32_t width = 0; // of the last entry; 0 when it does not load or was not probed
    std::int32_t height = 0;
};

// Lists folder (its text ends in a separator, as entry names are joined to it) and, when probe
// is set, loads its last entry for the resolution.
folder_scan scan_folder(const std::u16string& folder, bool probe);

class folder_source final : public frame_source {
public:
    // The entries of scan (an empty listing when it could not be read) in folder.
    folder_source(std::u16string folder, const folder_scan& scan);

    const source_facts& facts() const override { return facts_; }
    void expect(const work_cursor& coming, const read_ahead_budget& budget) override;
    image_handle_t take(std::int64_t input) override;
    bool ended() const override { return false; }
    std::u16string describe(std::int64_t input) const override;
    void stop_reading_ahead() override;

    // The name of input's entry (see entry_name).
    const std::u16string& name_of(std::int64_t input) const;
    // Reads the same entries from another folder from now on (the window's field was edited);
    // what is read ahead follows at the next expect.
    void relocate(std::u16string folder);
    const std::u16string& folder() const { return folder_; }

private:
    std::u16string folder_;
    std::shared_ptr<const name_list> names_;
    source_facts facts_;
    std::unique_ptr<decode_cache> cache_;
};

} // namespace korvel
