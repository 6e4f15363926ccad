// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

#include "runtime/utf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace korvel {

class scratch_folder {
public:
    scratch_folder() {
        char pattern[] = "/tmp/korvel-files-XXXXXX";
        if (mkdtemp(pattern)) root_ = pattern;
        EXPECT_FALSE(root_.empty()) << "cannot create a folder under /tmp";
    }
    ~scratch_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    const std::string& root() const { return root_; }
    // Native path of leaf, which may hold bytes that are not UTF-8.
    std::string path(const std::string& leaf) const { return root_ + "/" + leaf; }
    // The same path as the program names it.
    std::u16string name(const std::string& leaf) const { return utf16_from_utf8(path(leaf)); }

    void write(const std::string& leaf, const std::string& bytes) const {
        std::ofstream(path(leaf), std::ios::binary) << bytes;
    }
    std::string read(const std::string& leaf) const {
        std::ifstream in(path(leaf), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    bool exists(const std::string& leaf) const {
        std::error_code ignored;
        return std::filesystem::exists(path(leaf), ignored);
    }

private:
    std::string root_;
};

} // namespace korvel
