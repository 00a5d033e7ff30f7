#pragma once
// What the livery scan sees in one aircraft.cfg line: the key readers of a [fltsim.N] section, the
// section header, the check that a file numbers its sections 0..n-1, and the report collections the
// scan tasks append to (each behind its own mutex).
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vrn {

// ASCII a-z to A-Z; every other byte stays.
std::string gf_upperAscii(std::string text);

// The value of a line "key = value" (key case-blind, blanks around '=' and at both ends ignored),
// or an empty view when the line is no such line or its value is empty.
std::string_view gf_matchKeyValue(std::string_view line, std::string_view key);

// A line whose first non-blank characters are "//" or ';' is a comment (never a header or a key).
bool gf_isCommentLine(std::string_view line);

// title / texture: true for a line of that key with a value; `out` takes the unquoted value only
// when that is not empty (an unclosed quote leaves it as it was).
bool gf_readTitle(const std::string& line, std::string& out);
bool gf_readTexture(const std::string& line, std::string& out);
// base_container: the stock aircraft folder named after "..\" looked up in g_simTitleTypes; "" when
// the line is not one, the value is shorter than three characters or the folder is unknown.
std::string gf_modelFromBaseContainer(const std::string& line);
// icao_type_designator: the unquoted value cut to 4 characters, upper case; "" otherwise.
std::string gf_readTypeDesignator(const std::string& line);
// atc_id: true (and `out` set) only for an unquoted value of at least 5 characters.
bool gf_readAtcId(const std::string& line, std::string& out);
// icao_airline: true for a line with a value; "ZZZ" for an empty unquoted value or "ZZZZecorder",
// else the value in upper case.
bool gf_readIcaoAirline(const std::string& line, std::string& out);
// atc_parking_types: true (and `out` set) when the unquoted value is not empty.
bool gf_readParkingTypes(const std::string& line, std::string& out);
bool gf_hasAtcIdKey(const std::string& line);          // holds "atc_id="
bool gf_hasParkingTypesKey(const std::string& line);   // holds "atc_parking_types"

// The number text of a [fltsim.N] header; "10000" for a header without a usable number; "" for any
// other line (comments included).
std::string gf_fltsimNumber(std::string_view line);
// True when the file's sections carry the numbers 0..n-1 once each (or it has none, which is
// reported as a file without sections); otherwise the reason goes to the invalid files report.
bool gf_checkFltsimNumbers(const std::vector<std::string>& lines, const std::string& path);

// One report list, appended to from the scan tasks.
class ReportLines {
public:
    void add(std::string line);
    std::vector<std::string> copy() const;
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

struct ScanReports {
    ReportLines noFltsimSection;     // output/info/AircraftCfgWithNoFltsimSection.txt
    ReportLines invalidCfgFiles;     // output/errors/InvalidAircraftCfgFiles.txt
    ReportLines incompleteSections;  // output/errors/IncompleFltsimSections.txt
    ReportLines invalidAirlines;     // output/errors/InvalidAirlineCodes.txt
    ReportLines invalidModels;       // output/errors/InvalidAircraftCodes.txt
    ReportLines codeFixes;           // output/errors/Fixes.txt
    ReportLines conversions;         // output/info/AirlineModelConversions.txt
    ReportLines skippedOnPriority;   // output/info/LiveriesSkippedOnPriority.txt
};
extern ScanReports g_scanReports;

void gf_addInvalidCfgReport(std::string line);
void gf_addIncompleteSectionReport(std::string line);
void gf_addInvalidAirlineReport(const std::string& code, const std::string& path, const std::string& tail);
void gf_addInvalidModelReport(const std::string& code, const std::string& path);
void gf_addFixReport(const std::string& wrong, const std::string& path, const std::string& corrected);

// The titles made so far in this scan: true when the title was not there yet (and is now).
bool gf_insertSeenTitle(const std::string& title);

// Titles the scan leaves out, read from the registration lists before a rescan.
extern std::unordered_set<std::string> g_dontUseTitles;

// Empties every report list, the titles seen and the don't-use titles.
void gf_clearScanReports();

}  // namespace vrn
