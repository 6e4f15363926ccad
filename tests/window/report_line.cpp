// Report lines: backslash, tab and every control byte are written as \xHH.
#include "report_line.h"

#include <cstdio>
#include <cstdlib>

namespace korvel::app_test {

namespace {

bool needs_escape(unsigned char byte) {
    return byte < 0x20 || byte == '\\' || byte == 0x7F;
}

void append_escaped(std::string& line, const std::string& field) {
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (!needs_escape(byte)) {
            line += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        line += escaped;
    }
}

} // namespace

std::string report_line(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        append_escaped(line, fields[i]);
    }
    return line + '\n';
}

std::vector<std::string> report_fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            fields.emplace_back();
        } else if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x') {
            const std::string hex = line.substr(i + 2, 2);
            fields.back() += static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16));
            i += 3;
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

} // namespace korvel::app_test
