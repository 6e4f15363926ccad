// A fresh folder under /tmp for one test, with the input, output and working folders of a render
// inside it; removed with everything in it afterwards.
#pragma once

#include <map>
#include <set>
#include <string>

namespace korvel::test {

// Every entry of a folder by name, with the file's bytes ("<folder>" for a subfolder).
using folder_contents = std::map<std::string, std::string>;

class work_folder {
public:
    work_folder();
    ~work_folder();
    work_folder(const work_folder&) = delete;
    work_folder& operator=(const work_folder&) = delete;

    // Path of leaf inside the folder.
    std::string path(const std::string& leaf) const;
    // Creates the subfolder leaf and returns its path.
    std::string make_folder(const std::string& leaf) const;

private:
    std::string root_;
};

folder_contents read_folder(const std::string& path);
// The names in a folder, without reading anything.
std::set<std::string> folder_names(const std::string& path);
std::string read_file(const std::string& path);

} // namespace korvel::test
