// A fresh folder under /tmp for one test, removed with everything in it afterwards, and the few
// file operations the tests make on what the program leaves there.
#pragma once

#include <string>
#include <vector>

namespace korvel::test {

class scratch_folder {
public:
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    const std::string& root() const { return root_; }
    // Native path of leaf, which may hold bytes that are not UTF-8.
    std::string path(const std::string& leaf) const { return root_ + "/" + leaf; }
    // The same path as the program names it.
    std::u16string name(const std::string& leaf) const;
    // Creates the folder leaf (and its parents) and returns its path.
    std::string make_folder(const std::string& leaf) const;
    void write(const std::string& leaf, const std::string& bytes) const;

private:
    std::string root_;
};

// The file's bytes; "" when it cannot be read.
std::string read_file(const std::string& path);
bool path_exists(const std::string& path);
// The names in a folder, sorted; none for a folder that cannot be read.
std::vector<std::string> folder_names(const std::string& folder);

} // namespace korvel::test
