#include "feed/realtraffic_link.h"

#include <limits>
#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/text_files.h"
#include "core/time_of_week.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "feed/tcp_server.h"
#include "feed/udp_readers.h"
#include "records/user_aircraft_block.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {
// What a failed handshake shows of the answer: enough to tell what answered, not a screenful of it.
constexpr std::size_t kShownAnswerBytes = 40;
}  // namespace

std::atomic<bool> g_realTrafficLocal{false};
std::atomic<bool> g_professionalEdition{false};
std::atomic<int> g_rtArchiveWeek{0};

std::filesystem::path gf_realTrafficMarkerPath() {
    return gf_getFolderPath(CSIDL_APPDATA) / g_realTrafficFolderName / "RealTraffic.jar";
}

bool gf_detectRealTraffic() {
    std::error_code ec;
    const bool found = std::filesystem::exists(gf_realTrafficMarkerPath(), ec);
    g_realTrafficLocal = found;
    gf_showStatus(vrn::format("RealTraffic {}detected at this PC", found ? "" : "not "), true);
    return found;
}

void gf_setProfessionalEdition(bool professional) {
    g_professionalEdition = professional;
    g_feedTimeIsProgramTime = professional;
}

void gf_decodeRtVersion(const std::string& answer) {
    if (answer.empty()) {
        gf_showStatus("No RealTraffic version received?", true);
        gf_setProfessionalEdition(false);
        return;
    }
    const auto json = nlohmann::json::parse(answer);   // not JSON: throws to the traffic start
    std::string version = "?";
    bool professional = true;
    if (json.is_object()) {
        // A key of the wrong type counts as absent.
        const auto v = json.find("version");
        if (v != json.end() && v->is_string()) version = gf_excerpt(v->get<std::string>(), kShownAnswerBytes);
        const auto level = json.find("level");
        if (level != json.end() && level->is_number_integer()) professional = level->get<long long>() == 2;
    }
    gf_setProfessionalEdition(professional);
    g_mainWindow.g_realTrafficText.set(vrn::format("RT{} edition: {}, archive: week {}", professional ? " prof" : " stnd",
                                                   version, g_rtArchiveWeek.load()));
    gf_invalidateBand(Band::Counters);
}

std::string gf_judgeRtVersion(const std::string& answer) {
    // RealTraffic answers with a JSON object. An empty line (also one that starts with a zero byte,
    // where the text ends) answers nothing: taking it would let any local client pass as RealTraffic.
    if (answer.empty()) return "empty answer";
    const auto json = nlohmann::json::parse(answer, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return vrn::format("not a version: {}", gf_excerpt(answer, kShownAnswerBytes));
    // The keys must be of their types: a wrongly typed key would be read as absent, and an answer
    // without its version would pass as RealTraffic's.
    const auto version = json.find("version");
    if (version == json.end() || !version->is_string() || version->get_ref<const std::string&>().empty())
        return vrn::format("no version text: {}", gf_excerpt(answer, kShownAnswerBytes));
    const auto level = json.find("level");
    if (level != json.end() && !level->is_null() && !level->is_number_integer())
        return vrn::format("no usable level: {}", gf_excerpt(answer, kShownAnswerBytes));
    return {};
}

namespace {

constexpr const char* kVersionRequest = "Qs999=version\r\n";

// Takes a client that answered the version request; `wait` blocks until one did (or the run ends).
bool lf_takeRealTraffic(bool wait) {
    std::string answer;
    const bool taken = wait ? waitForClient(kVersionRequest, gf_judgeRtVersion, answer, [] { return !gf_exitUnderWay(); })
                            : gf_serveNewClients(kVersionRequest, gf_judgeRtVersion, answer);
    if (!taken) return false;
    gf_decodeRtVersion(answer);
    g_mainWindow.g_realTrafficLinkUp = true;
    gf_invalidateBand(Band::Counters);
    return true;
}

// The link is lost: its aircraft go, and the feed starts afresh with the next RealTraffic.
void lf_realTrafficGone() {
    g_mainWindow.g_realTrafficLinkUp = false;
    gf_invalidateBand(Band::Counters);
    if (g_feedHooks.dropLiveAircraft) g_feedHooks.dropLiveAircraft();
    gf_resetRealTraffic();
    gf_showStatus(vrn::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_wallClockHhMmSs()), true);
}

}  // namespace

void gf_waitForRealTraffic() {
    if (!g_realTrafficLocal.load()) return;
    gf_showStatus("Waiting for RealTraffic to connect to Varnel ...", false);
    gf_resetRealTraffic();
    if (lf_takeRealTraffic(true)) gf_logLine("RealTraffic connected");
    gf_clearStatus();
}

std::string gf_qs121Line(const UserAircraftState& user) {
    // The scaled values go out as whole numbers, as RealTraffic reads them.
    return vrn::format("Qs121={:.0f};{:.0f};{:.6f};{:.0f};{:.0f};{:.6f};{:.6f}\r\n", user.pitch * 100000.0,
                       user.bank * 100000.0, user.heading, user.altitude * 1000.0, user.groundVelocity * 1000.0,
                       user.latitude * kDeg2Rad, user.longitude * kDeg2Rad);
}

void gf_sendUserPosition() {
    // The simulator link's latest user block (degrees, radians, feet, knots).
    const UserAircraftBlock block = gf_userAircraftData();
    UserAircraftState user;
    user.latitude = block.latitude;
    user.longitude = block.longitude;
    user.pitch = block.pitch;
    user.bank = block.bank;
    user.heading = block.heading;
    user.altitude = block.altitude;
    user.groundVelocity = block.groundSpeed;
    gf_sendUserPosition(user);
}

void gf_sendUserPosition(const UserAircraftState& user) {
    if (!g_realTrafficLocal.load()) return;
    if (user.latitude >= 0 && user.latitude <= 0.0009 && user.longitude >= 0 && user.longitude <= 0.05) return;
    if (g_clientConnected.load() && !sendDataPacket(gf_qs121Line(user))) lf_realTrafficGone();
}

void gf_serveRealTraffic() {
    if (!g_realTrafficLocal.load()) return;
    if (g_clientConnected.load()) {
        // A RealTraffic that closed the link (it closes before it connects again) is noticed now,
        // so that its next connection is greeted at once rather than closed as a stranger's.
        if (!gf_clientClosed()) {
            gf_drainWaitingConnections();
            return;
        }
        lf_realTrafficGone();
    }
    // RealTraffic is gone: take it back when it has reconnected and answered, without waiting for it.
    if (!gf_exitUnderWay() && lf_takeRealTraffic(false)) {
        gf_showStatus(vrn::format("{} RealTraffic re-connected", gf_wallClockHhMmSs()), true);
        gf_clearStatus();
    }
}

void gf_sendQs123(std::int64_t seconds) {
    // A time too large for milliseconds in 64 bits is no simulator time.
    if (!g_clientConnected.load() || seconds < 1 || seconds > std::numeric_limits<std::int64_t>::max() / 1000) return;
    sendDataPacket(vrn::format("Qs123={}\r\n", seconds * 1000));
}

}  // namespace vrn
