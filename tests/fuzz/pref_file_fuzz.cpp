// Fuzz target: any bytes as the contents of a preference file. The file is opened, a few keys of
// its own are read from the top section and from its first group, and a value written into that
// group must read back unchanged after the file has been closed and opened again.
#include "runtime/pref_parse.h"
#include "runtime/prefs.h"
#include "runtime/strings.h"
#include "runtime/utf.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Not plain ASCII, so that the file's encoding matters when it is read again.
constexpr char16_t probe_key[] = u"Fuzz Probe";
constexpr char16_t probe_value[] = u"Ünïcode ✓ value";

std::string file_path;
std::u16string file_name;

void remove_file() {
    std::remove(file_path.c_str());
}

bool write_file(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(file_path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void read_key(const std::string& key) {
    const std::int32_t at = korvel::ws_position();
    korvel::pref_read_string(korvel::utf16_from_utf8(key).c_str(), u"none", at);
    korvel::ws_restore(at);
}

// The first group's name and the first two keys anywhere in the file.
struct file_names {
    std::u16string group;
    std::string keys[2];
};

file_names names_in(const std::uint8_t* data, std::size_t size) {
    file_names names;
    std::size_t keys_found = 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const korvel::pref_entry& entry : korvel::pref_parse(korvel::pref_decode(bytes))) {
        if (entry.kind == korvel::pref_entry_kind::group && names.group.empty())
            names.group = korvel::utf16_from_utf8(entry.text);
        if (entry.kind == korvel::pref_entry_kind::key && keys_found < 2)
            names.keys[keys_found++] = entry.key;
    }
    return names;
}

void read_section(const char16_t* group, const file_names& names) {
    korvel::pref_group(group);
    for (const std::string& key : names.keys)
        read_key(key);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvel::strings_init();
    korvel::prefs_init();
    const char* folder = std::getenv("TMPDIR");
    file_path = std::string(folder ? folder : "/tmp") + "/korvel-pref-fuzz-" +
                std::to_string(getpid()) + ".ini";
    file_name = korvel::utf16_from_utf8(file_path);
    std::atexit(remove_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!write_file(data, size)) return 0;
    const file_names names = names_in(data, size);
    if (korvel::pref_open(file_name.c_str()) == 0) return 0;
    read_section(u"", names);
    read_section(names.group.c_str(), names);
    korvel::pref_write_string(probe_key, probe_value);
    korvel::pref_close();

    korvel::pref_open(file_name.c_str());
    korvel::pref_group(names.group.c_str());
    const std::int32_t at = korvel::ws_position();
    const bool kept = korvel::str_equal(korvel::pref_read_string(probe_key, u"", at), probe_value);
    korvel::ws_restore(at);
    korvel::pref_close();
    if (!kept) std::abort();
    return 0;
}
