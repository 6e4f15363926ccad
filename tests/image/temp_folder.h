// A private temporary folder for tests that write and read files; removed with its contents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    std::string path(const std::string& name) const;
    // The path as the image operations take it.
    std::u16string name16(const std::string& name) const;
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    std::vector<std::uint8_t> read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // Names of everything in the folder.
    std::vector<std::string> entries() const;

private:
    std::string root_;
};

} // namespace korvel::test
