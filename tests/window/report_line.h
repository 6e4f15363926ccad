// The lines a program run reports to the test that started it: fields separated by tabs, each
// escaped so that any bytes (a whole job file, say) fit on one line.
#pragma once

#include <string>
#include <vector>

namespace korvel::app_test {

// The fields joined into one line, ended by a line feed.
std::string report_line(const std::vector<std::string>& fields);

// The fields of one line (without its line feed).
std::vector<std::string> report_fields(const std::string& line);

} // namespace korvel::app_test
