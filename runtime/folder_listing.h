// Reading a folder's names: the matching names of one folder, in their fixed order.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

using folder_listing = std::vector<std::u16string>;

// The names in folder (native bytes; "" is the current directory) that match pattern, sorted by
// compare_names; "." and ".." and sub-folders are kept when they match. Null when the folder
// cannot be read or memory runs out: a folder is either listed whole or not at all.
std::unique_ptr<folder_listing> list_folder(const std::string& folder,
                                            std::u16string_view pattern) noexcept;

} // namespace korvel
