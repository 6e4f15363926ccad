// Fuzz target: any bytes as the contents of a preference file. The file is opened, its first key
// is read from the top section and from its first group, and a value written into that group must
// read back unchanged after the file has been closed and opened again.
#include "runtime/pref_parse.h"
#include "runtime/prefs.h"
#include "runtime/strings.h"
#include "runtime/utf.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

// Not plain ASCII, so that the file's encoding matters when it is read again.
constexpr char16_t probe_key[] = u"Fuzz Probe";
constexpr char16_t probe_value[] = u"Ünïcode ✓ value";

std::string file_path;
std::u16string file_name;

std::u16string read_value(const char16_t* key) {
    const std::int32_t at = korvel::ws_position();
    std::u16string value = korvel::pref_read_string(key, u"", at);
    korvel::ws_restore(at);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::strings_init();
    korvel::prefs_init();
    const char* folder = std::getenv("TMPDIR");
    file_path = std::string(folder ? folder : "/tmp") + "/korvel-pref-fuzz-" +
                std::to_string(getpid()) + ".ini";
    file_name = korvel::utf16_from_utf8(file_path);
    std::atexit([] { std::remove(file_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!(std::ofstream(file_path, std::ios::binary) << bytes)) return 0;
    // The file's first group and first key, as its own parser sees them.
    std::u16string group, key;
    for (const korvel::pref_entry& entry : korvel::pref_parse(korvel::pref_decode(bytes))) {
        if (entry.kind == korvel::pref_entry_kind::group && group.empty())
            group = korvel::utf16_from_utf8(entry.text);
        if (entry.kind == korvel::pref_entry_kind::key && key.empty())
            key = korvel::utf16_from_utf8(entry.key);
    }
    if (korvel::pref_open(file_name.c_str()) == 0) return 0;
    read_value(key.c_str());
    korvel::pref_group(group.c_str());
    read_value(key.c_str());
    korvel::pref_write_string(probe_key, probe_value);
    korvel::pref_close();

    korvel::pref_open(file_name.c_str());
    korvel::pref_group(group.c_str());
    const bool kept = read_value(probe_key) == probe_value;
    korvel::pref_close();
    if (!kept) std::abort();
    return 0;
}
