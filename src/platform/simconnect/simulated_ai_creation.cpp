// The simulated simulator's AI objects: creation (with refused titles and the object limit),
// removal, release from its control and flight plans.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include <pugixml.hpp>

#include "platform/simconnect/simulated_simulator_internal.h"

namespace vrn::simconnect {

HRESULT SimulatedSimulator::createAircraft(HANDLE handle, const char* title, const char* tail,
                                           const SIMCONNECT_DATA_INITPOSITION& pos, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c || !title || !tail) return E_FAIL;
    if (m_scenario.failures.failCreateCalls > 0) {
        --m_scenario.failures.failCreateCalls;
        return E_FAIL;
    }
    const std::string t = title;
    const DWORD p = lf_packet(*c, "AICreateNonATCAircraft", requestId, 0, 0, 0, t + "|" + tail);
    const bool installed = m_scenario.anyTitleInstalled || m_installedTitles.count(t) > 0;
    if (!installed || m_scenario.failures.refuseTitles.count(t)) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, p, 1);
        lf_traceEvent("refused", 0, t);
        return S_OK;
    }
    const auto ai = static_cast<std::size_t>(
        std::count_if(m_objects.begin(), m_objects.end(), [](const auto& o) { return !o.second.isUser; }));
    if (ai >= m_scenario.maxObjects) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS, p, 0);
        return S_OK;
    }
    SimObjectState o;
    while (m_objects.count(m_nextObjectId)) ++m_nextObjectId;
    o.id = m_nextObjectId++;
    o.ownerConnection = c->id;
    o.title = t;
    o.atcId = std::string(tail).substr(0, 12);   // the simulator keeps 12 characters of a tail number
    o.lat = pos.Latitude;
    o.lon = pos.Longitude;
    o.pitch = pos.Pitch * kDegToRad;
    o.bank = pos.Bank * kDegToRad;
    o.heading = pos.Heading * kDegToRad;
    o.airspeed = pos.Airspeed;
    o.groundAltitude = m_scenario.groundElevation;
    o.staticCg = m_scenario.staticCgToGround;
    o.staticPitch = m_scenario.staticPitch;
    o.onGround = pos.OnGround != 0;
    o.altitude = o.onGround ? m_scenario.groundElevation + o.staticCg : pos.Altitude;
    SIMCONNECT_RECV_ASSIGNED_OBJECT_ID rec{};
    rec.dwID = SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID;
    rec.dwRequestID = requestId;
    rec.dwObjectID = o.id;
    lf_post(*c, rec);
    lf_traceEvent("created", o.id, o.atcId + " " + t);
    m_objects[o.id] = std::move(o);
    return S_OK;
}

HRESULT SimulatedSimulator::removeObject(HANDLE handle, DWORD objectId, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    if (m_scenario.failures.failRemoveCalls > 0) {
        --m_scenario.failures.failRemoveCalls;
        return E_FAIL;
    }
    const DWORD p = lf_packet(*c, "AIRemoveObject", objectId, requestId);
    SimObjectState* o = lf_object(objectId);
    if (!o) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    if (o->isUser) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE, p, 1);
        return S_OK;
    }
    o->removing = true;
    lf_traceEvent("removed", objectId, o->atcId);
    return S_OK;
}

HRESULT SimulatedSimulator::releaseControl(HANDLE handle, DWORD objectId, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const DWORD p = lf_packet(*c, "AIReleaseControl", objectId, requestId);
    SimObjectState* o = lf_object(objectId);
    if (!o || o->isUser) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    o->released = true;
    return S_OK;
}

HRESULT SimulatedSimulator::setFlightPlan(HANDLE handle, DWORD objectId, const char* path, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const std::string file = path ? path : "";
    const DWORD p = lf_packet(*c, "AISetAircraftFlightPlan", objectId, requestId, 0, 0, file);
    SimObjectState* o = lf_object(objectId);
    if (!o || o->isUser) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    // The path may be given with or without its .pln extension.
    std::filesystem::path plan = file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(plan, ec)) plan += ".pln";
    pugi::xml_document doc;
    const bool loaded = std::filesystem::is_regular_file(plan, ec) && doc.load_file(plan.c_str());
    const pugi::xml_node fp = doc.child("SimBase.Document").child("FlightPlan.FlightPlan");
    const std::string dep = fp.child("DepartureID").text().as_string();
    const std::string dest = fp.child("DestinationID").text().as_string();
    if (!loaded || !fp || dep.empty() || dest.empty()) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED, p, 2);
        return S_OK;
    }
    o->planDeparture = dep;
    o->planDestination = dest;
    return S_OK;
}

}  // namespace vrn::simconnect
