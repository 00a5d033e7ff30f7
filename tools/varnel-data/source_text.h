#pragma once
// Reading the plain source files under data/: comment lines, words, separators and CSV rows.
#include <filesystem>
#include <string>
#include <vector>

namespace vrn::data {

// The lines of a source file without line ends, leaving out empty lines and lines beginning with '#'.
std::vector<std::string> readSourceLines(const std::filesystem::path& file);
// Blank-separated words.
std::vector<std::string> words(const std::string& line);
// Pieces between separators; a separator at the end gives an empty last piece.
std::vector<std::string> splitAt(const std::string& text, char sep);
std::string trimmed(const std::string& s);

// The fields of one CSV row: commas separate, a field in double quotes may hold commas and doubled
// quotes. False (fields unusable) for a quote left open or text after a closing quote.
bool splitCsvRow(const std::string& line, std::vector<std::string>& fields);

}  // namespace vrn::data
