// Test folders under /tmp.
#include "work_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvel::test {

work_folder::work_folder() {
    char pattern[] = "/tmp/korvel-batch-XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
    EXPECT_FALSE(root_.empty()) << "cannot create a folder under /tmp";
}

work_folder::~work_folder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string work_folder::path(const std::string& leaf) const {
    return root_ + "/" + leaf;
}

std::string work_folder::make_folder(const std::string& leaf) const {
    std::error_code error;
    std::filesystem::create_directories(path(leaf), error);
    EXPECT_FALSE(error) << "cannot create " << path(leaf);
    return path(leaf);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

folder_contents read_folder(const std::string& path) {
    folder_contents contents;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        const std::string name = entry.path().filename().string();
        contents[name] = entry.is_directory() ? "<folder>" : read_file(entry.path().string());
    }
    return contents;
}

std::set<std::string> folder_names(const std::string& path) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace korvel::test
