// The XML layout of airport parking files: the writer, the reader of stands and uses, the text form
// of half-hour sets and the typed readers of header values.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "airports/airport_files.h"
#include "airports/registration_lookup.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "display/window_state.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

const char* lf_boolText(bool b) { return b ? "true" : "false"; }

bool lf_writeApfParameters(pugi::xml_document& doc, const ApfAirport& airport, bool learned, bool handmade) {
    pugi::xml_node parameters = doc.append_child("parameters");
    if (!parameters) return false;
    gf_appendStringParameterNode(parameters, "airport_name", airport.airport_name);
    gf_appendStringParameterNode(parameters, "publisher", airport.publisher);
    if (handmade) gf_appendStringParameterNode(parameters, "handmade", "true");
    if (handmade || !learned) gf_appendIntParameterNode(parameters, "altitude", airport.altitude);
    // Counted again once the kept records are written.
    gf_appendIntParameterNode(parameters, "num_parkpos", static_cast<int>(airport.stands.size()));
    if (handmade) {
        gf_appendIntParameterNode(parameters, "Qf_real", airport.Qf_real);
        gf_appendIntParameterNode(parameters, "Qf_soft", airport.Qf_soft);
    }
    if (airport.publisher == "unknown") {
        gf_appendStringParameterNode(parameters, "BGLpath", airport.bglPath);
        gf_appendStringParameterNode(parameters, "manufacturer", airport.manufacturer);
        gf_appendStringParameterNode(parameters, "creator", airport.creator);
    }
    if (learned) {
        gf_appendIntParameterNode(parameters, LATERAL_RANGE.name, LATERAL_RANGE.get());
        gf_appendBoolParameterNode(parameters, AUTO_RANGE.name, AUTO_RANGE.get());
        gf_appendBoolParameterNode(parameters, WEEK.name, WEEK.get());
        gf_appendBoolParameterNode(parameters, PARK_FAKE.name, PARK_FAKE.get());
        gf_appendBoolParameterNode(parameters, PARK_SOFT.name, PARK_SOFT.get());
        gf_appendIntParameterNode(parameters, parking_percentage.name, parking_percentage.get());
        gf_appendBoolParameterNode(parameters, INITIAL_LOAD_ONLY.name, INITIAL_LOAD_ONLY.get());
        gf_appendIntParameterNode(parameters, MAX_FIT.name, MAX_FIT.get());
        // Only a limit of the airport's own: the user's general one is theirs to change later.
        if (MAX_LIVE.get() != g_userMaxLive.load()) gf_appendIntParameterNode(parameters, MAX_LIVE.name, MAX_LIVE.get());
        gf_appendBoolParameterNode(parameters, LEARN_SOFT.name, LEARN_SOFT.get());
    }
    return true;
}

// The texts of a use came from the feed, or from a file written before they were checked there:
// XML 1.0 allows no control characters, nor as references, and a strict reader refuses the whole file.
void lf_writeLearnedUses(pugi::xml_node parkpos, const StandUse& use) {
    pugi::xml_node opt = parkpos.append_child("opt");
    opt.append_attribute("reg") = gf_printable(use.reg).c_str();
    if (use.reg.empty() || !gf_registrationRecord(use.reg)) {
        opt.append_attribute("airl") = gf_printable(use.airline).c_str();
        opt.append_attribute("type") = gf_printable(use.model).c_str();
    }
    if (use.soft) opt.append_attribute("soft") = "true";
    opt.append_attribute("day") = use.day;
    opt.append_attribute("hh") = lf_bitset2hours(use.hh).c_str();
    std::string cs = use.callsign;
    if (!use.coupled.empty()) cs += ":" + use.coupled;
    if (!cs.empty()) opt.append_attribute("cs") = gf_printable(cs).c_str();
}

pugi::xml_node lf_writeParkPos(pugi::xml_node parkpositions, bool learned, bool handmade, const Stand& stand) {
    pugi::xml_node parkpos = parkpositions.append_child("parkpos");
    parkpos.append_attribute("id") = stand.id.c_str();
    const bool changed = stand.radiusChanged || stand.cargoChanged;
    // A handmade file is the airport's whole stand list: every stand keeps its position there.
    const bool full = !learned || stand.manual || handmade;
    if (full) {
        parkpos.append_attribute("latitude") = format("{:.6f}", stand.position.lat).c_str();
        parkpos.append_attribute("longitude") = format("{:.6f}", stand.position.lon).c_str();
        parkpos.append_attribute("heading") = format("{:.1F}", stand.heading * kRad2Deg).c_str();
        parkpos.append_attribute("radius") = format("{:.1F}", stand.radius * kNmToMetres).c_str();
        if (stand.heli) {
            parkpos.append_attribute("heli") = "true";
        } else {
            parkpos.append_attribute("cargo") = lf_boolText(stand.cargo);
        }
        parkpos.append_attribute("ramp") = lf_boolText(stand.ramp);
        if (stand.manual) parkpos.append_attribute("manual") = "true";
    } else if (changed) {
        if (stand.radiusChanged) {
            parkpos.append_attribute("radius_change") = "true";
            parkpos.append_attribute("radius") = format("{:.1F}", stand.radius * kNmToMetres).c_str();
        }
        if (stand.cargoChanged) {
            parkpos.append_attribute("cargo_change") = "true";
            parkpos.append_attribute("cargo") = lf_boolText(stand.cargo);
        }
    }
    if (!learned) return parkpos;
    for (const StandUse& use : stand.uses) {
        if (use.number == 0 || use.origin == UseOrigin::Fake) continue;
        lf_writeLearnedUses(parkpos, use);
    }
    return parkpos;
}

// The id a kept record's text names, for the log when it cannot be written.
std::string lf_keptIdOf(const std::string& text) {
    const auto start = text.find("id=\"");
    if (start == std::string::npos) return "without id";
    const auto end = text.find('"', start + 4);
    return text.substr(start + 4, end == std::string::npos ? std::string::npos : end - start - 4);
}

// A kept record as it was read: the refused part of a written stand's changes joins that stand's
// element (what the stand now says itself wins); anything else is its own element.
void lf_writeKeptParkPos(pugi::xml_node parkpositions, const std::unordered_map<std::string, pugi::xml_node>& overlays,
                         const std::string& kept, const std::filesystem::path& path) {
    pugi::xml_document piece;
    const pugi::xml_parse_result result = piece.load_string(kept.c_str());
    const pugi::xml_node record = piece.first_child();
    if (!result || !record) {
        gf_logArrowLine(format("kept stand {} not written to {}: {}", lf_keptIdOf(kept), gf_utf8Of(path),
                               result ? "no element" : result.description()));
        return;
    }
    const auto joined = record.first_child() || record.attribute("manual").as_bool()
                            ? overlays.end()
                            : overlays.find(gf_standIdOf(record));
    if (joined == overlays.end()) {
        parkpositions.append_copy(record);
        return;
    }
    pugi::xml_node parkpos = joined->second;
    for (const pugi::xml_attribute& attribute : record.attributes())
        if (!parkpos.attribute(attribute.name())) parkpos.append_copy(attribute);
}

// Splits like reading pieces with getline: a trailing separator gives no empty last piece.
std::vector<std::string> lf_piecesOf(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

pugi::xml_node lf_parameterNode(const pugi::xml_document& doc, const std::string& key) {
    return doc.select_node(gf_parameterXPath(key).c_str()).node();
}

}  // namespace

pugi::xml_parse_result gf_loadApfDocument(pugi::xml_document& doc, const std::filesystem::path& path) {
    return gf_loadXmlFile(doc, path);
}

std::uint64_t lf_hours2bitset(const std::string& text) {
    std::uint64_t set = 0;
    for (const std::string& piece : lf_piecesOf(text, ',')) {
        // The log names the failure the way the program always has.
        const char* error = nullptr;
        int slot = -1;
        try {
            slot = std::stoi(piece);
        } catch (const std::out_of_range&) {
            error = "stoi argument out of range";
        } catch (const std::invalid_argument&) {
            error = "invalid stoi argument";
        }
        if (!error && (slot < 0 || slot >= kHalfHoursPerDay)) error = "invalid bitset position";
        if (error) {
            gf_logArrowLine(format("exception {} in lf_hours2bitset", error));
            break;
        }
        set |= std::uint64_t{1} << slot;
    }
    return set;
}

std::string lf_bitset2hours(std::uint64_t hours) {
    std::string text;
    for (int slot = 0; slot < kHalfHoursPerDay; ++slot) {
        if (!(hours & (std::uint64_t{1} << slot))) continue;
        if (!text.empty()) text += ',';
        text += std::to_string(slot);
    }
    return text;
}

std::vector<StandUse> lf_readUses(const pugi::xml_node& parkpos, bool skipTow, UseOrigin origin,
                                  std::uint32_t firstNumber) {
    std::vector<StandUse> uses;
    std::uint32_t number = firstNumber;
    for (pugi::xml_node opt : parkpos.children("opt")) {
        StandUse use;
        // Shown the way they are written: a use from an older file keeps its texts, escaped.
        const std::string cs = gf_printable(opt.attribute("cs").value());
        const auto colon = cs.find(':');
        if (colon == std::string::npos) {
            use.callsign = cs;
        } else {
            use.callsign = cs.substr(0, colon);
            const std::string rest = cs.substr(colon + 1);
            if (rest.find(':') == std::string::npos) use.coupled = rest;
        }
        if (skipTow && use.callsign.size() >= 4 && use.callsign.compare(0, 4, "TOW ") == 0) continue;
        use.reg = gf_printable(opt.attribute("reg").value());
        std::optional<RegistrationRecord> record;
        if (!use.reg.empty()) record = gf_registrationRecord(use.reg);
        if (record) {
            use.airline = record->airline;
            use.model = record->type;
        } else {
            use.airline = gf_printable(opt.attribute("airl").value());
            use.model = gf_printable(opt.attribute("type").value());
        }
        use.soft = opt.attribute("soft").as_bool() ? 1 : 0;
        use.day = static_cast<std::uint32_t>(opt.attribute("day").as_int());
        use.hh = lf_hours2bitset(opt.attribute("hh").value());
        use.number = number++;
        use.learning = 0;
        use.origin = origin;
        uses.push_back(std::move(use));
    }
    uses.shrink_to_fit();
    return uses;
}

std::string gf_standFault(const Stand& stand, const std::optional<LatLon>& airport) {
    const LatLon& p = stand.position;
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || !std::isfinite(stand.heading) || !std::isfinite(stand.radius))
        return "not finite";
    // One turn either way: written as 0.0 to 360.0 degrees, any other heading is damage that
    // would otherwise reach the simulator as the parked aircraft's heading.
    if (std::fabs(stand.heading) > 2.0 * kPi + 1e-9) return format("heading {:g} degrees", stand.heading * kRad2Deg);
    if (stand.radius < 0.0 || stand.radius * kNmToMetres > kStandRadiusLimitMetres + 1e-6)
        return format("radius {:g} m", stand.radius * kNmToMetres);
    if (p.lat < -90.0 || p.lat > 90.0 || p.lon < -180.0 || p.lon > 180.0) return "no position on earth";
    if (airport && gf_distanceNm(*airport, p) > kStandReachNm)
        return format("{:.1f} nm from its airport", gf_distanceNm(*airport, p));
    return {};
}

void StandReading::lf_logStandLine(const std::string& line, bool arrow) {
    // A file with thousands of damaged records must not write thousands of lines at every start.
    if (logged < kLoggedStands) {
        ++logged;
        if (arrow)
            gf_logArrowLine(line);
        else
            gf_logLine(line);
    } else {
        ++unlogged;
    }
}

void StandReading::refuse(const std::string& id, const std::string& why) {
    refuseWith(format("stand {} in {} refused: {}", id, gf_utf8Of(file), why));
}

void StandReading::refuseWith(const std::string& line) {
    ++refused;
    lf_logStandLine(line, true);
}

void StandReading::keepUnused(const std::string& line, bool arrow) {
    ++unused;
    lf_logStandLine(line, arrow);
}

void StandReading::sayRefused() const {
    if (unlogged > 0) {
        gf_logArrowLine(format("{} more line{} about stands of {} not logged ({} refused, {} kept unused in all)",
                               unlogged, unlogged == 1 ? "" : "s", gf_utf8Of(file), refused, unused));
    }
    if (refused == 0) return;
    gf_showStatus(format("{} stand{} of {} refused, see Log.txt", refused, refused == 1 ? "" : "s", gf_utf8Of(file)), true);
}

void lf_readParkPositions(const pugi::xml_document& doc, std::vector<Stand>& stands, UseOrigin origin,
                          StandReading& reading) {
    pugi::xml_node parkpositions = doc.child("parkpositions");
    if (!parkpositions) return;
    std::unordered_set<std::string> ids;
    for (pugi::xml_node parkpos : parkpositions.children("parkpos")) {
        std::string id = gf_standIdOf(parkpos);
        // One bad record costs its stand, never the airport or the run.
        if (ids.count(id) != 0) {
            reading.refuse(id, "Parking position " + id + " appears more than once?");
            continue;
        }
        Stand stand = gf_fullFormStand(parkpos, std::string(id), lf_readUses(parkpos, true, origin, 1));
        if (const std::string fault = gf_standFault(stand, reading.airport); !fault.empty()) {
            reading.refuse(id, fault);
            continue;
        }
        ids.insert(std::move(id));
        stands.push_back(std::move(stand));
    }
}

void lf_readParkPositions(const pugi::xml_document& doc, std::vector<Stand>& stands, UseOrigin origin) {
    StandReading reading;
    lf_readParkPositions(doc, stands, origin, reading);
}

namespace {
// A heading that is there but is no number is damage, not north: NaN, which the stand checks refuse.
double lf_headingAttribute(const pugi::xml_attribute& attribute) {
    if (!attribute) return 0.0;
    const char* text = attribute.value();
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text) return std::numeric_limits<double>::quiet_NaN();
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0' ? value : std::numeric_limits<double>::quiet_NaN();
}
}  // namespace

std::string gf_standIdOf(const pugi::xml_node& parkpos) { return gf_printable(parkpos.attribute("id").value()); }

Stand gf_fullFormStand(const pugi::xml_node& parkpos, std::string&& id, std::vector<StandUse>&& uses) {
    StandPlacement placement;
    placement.lat = parkpos.attribute("latitude").as_double();
    placement.lon = parkpos.attribute("longitude").as_double();
    placement.heading = lf_headingAttribute(parkpos.attribute("heading")) * kDeg2Rad;
    return Stand(std::move(uses), std::move(id), placement, parkpos.attribute("radius").as_double(),
                 parkpos.attribute("cargo").as_bool(), parkpos.attribute("ramp").as_bool(),
                 parkpos.attribute("heli").as_bool());
}


std::optional<bool> lf_readBoolParameter(const pugi::xml_document& doc, const std::string& key) {
    pugi::xml_node node = lf_parameterNode(doc, key);
    if (!node) return std::nullopt;
    return node.attribute("value").as_bool();
}

std::optional<int> lf_readIntParameter(const pugi::xml_document& doc, const std::string& key) {
    pugi::xml_node node = lf_parameterNode(doc, key);
    if (!node) return std::nullopt;
    return node.attribute("value").as_int();
}

std::optional<std::string> lf_readStringParameter(const pugi::xml_document& doc, const std::string& key) {
    pugi::xml_node node = lf_parameterNode(doc, key);
    if (!node) return std::nullopt;
    return gf_printable(node.attribute("value").value());   // shown, logged and written back
}

bool gf_writeApf(const ApfAirport& airport, const std::filesystem::path& path, bool learned, bool handmade) {
    try {
        handmade = handmade && learned;
        pugi::xml_document doc;
        if (!lf_writeApfParameters(doc, airport, learned, handmade)) return false;
        pugi::xml_node parkpositions = doc.append_child("parkpositions");
        if (!parkpositions) return false;
        std::unordered_map<std::string, pugi::xml_node> overlays;   // the written stands a kept part may join
        for (const Stand& stand : airport.stands) {
            pugi::xml_node parkpos = lf_writeParkPos(parkpositions, learned, handmade, stand);
            if (!stand.manual) overlays.try_emplace(stand.id, parkpos);
        }
        if (learned) {
            for (const std::string& kept : airport.keptParkPositions) lf_writeKeptParkPos(parkpositions, overlays, kept, path);
        }
        // The records written, the kept ones among them.
        const auto count = std::distance(parkpositions.children("parkpos").begin(), parkpositions.children("parkpos").end());
        lf_parameterNode(doc, "num_parkpos").attribute("value") = static_cast<long long>(count);
        return gf_saveXmlFile(doc, path);
    } catch (const std::exception& e) {
        gf_logArrowLine(format("exception in gf_writeApf: {}", e.what()));
        return false;
    }
}

}  // namespace vrn
