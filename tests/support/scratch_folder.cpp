// Test folders under /tmp.
#include "tests/support/scratch_folder.h"

#include "runtime/utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvel::test {

scratch_folder::scratch_folder() {
    char pattern[] = "/tmp/korvel-test-XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
    EXPECT_FALSE(root_.empty()) << "cannot create a folder under /tmp";
}

scratch_folder::~scratch_folder() {
    std::error_code ignored;
    // Tests take rights away from folders to make saving fail; give them back to remove them.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored))
        if (entry.is_directory(ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
}

std::u16string scratch_folder::name(const std::string& leaf) const {
    return utf16_from_utf8(path(leaf));
}

std::string scratch_folder::make_folder(const std::string& leaf) const {
    std::error_code error;
    std::filesystem::create_directories(path(leaf), error);
    EXPECT_FALSE(error) << "cannot create " << path(leaf);
    return path(leaf);
}

void scratch_folder::write(const std::string& leaf, const std::string& bytes) const {
    std::ofstream(path(leaf), std::ios::binary) << bytes;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool path_exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace korvel::test
