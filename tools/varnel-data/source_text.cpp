#include "source_text.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vrn::data {

std::vector<std::string> readSourceLines(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::vector<std::string> splitAt(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::string piece;
    std::istringstream in(text);
    while (std::getline(in, piece, sep)) out.push_back(piece);
    if (!text.empty() && text.back() == sep) out.emplace_back();
    return out;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool splitCsvRow(const std::string& line, std::vector<std::string>& fields) {
    fields.assign(1, std::string());
    bool quoted = false;       // inside a quoted field
    bool closed = false;       // a quoted field has ended; only a comma may follow
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') fields.back() += c;
            else if (i + 1 < line.size() && line[i + 1] == '"') fields.back() += line[++i];
            else quoted = false, closed = true;
        } else if (c == ',') {
            fields.emplace_back();
            closed = false;
        } else if (closed) {
            return false;
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else {
            fields.back() += c;
        }
    }
    return !quoted;
}

}  // namespace vrn::data
