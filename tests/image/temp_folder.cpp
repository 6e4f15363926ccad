// A private temporary folder per test, under the system's temporary directory.
#include "temp_folder.h"

#include "runtime/utf.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace korvel::test {

temp_folder::temp_folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvel-image-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    root_ = made == nullptr ? std::string() : pattern;
}

temp_folder::~temp_folder() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

std::string temp_folder::path(const std::string& name) const {
    return root_ + "/" + name;
}

std::u16string temp_folder::name16(const std::string& name) const {
    return utf16_from_utf8(path(name));
}

void temp_folder::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> temp_folder::read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool temp_folder::exists(const std::string& name) const {
    return std::filesystem::exists(path(name));
}

std::vector<std::string> temp_folder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

} // namespace korvel::test
