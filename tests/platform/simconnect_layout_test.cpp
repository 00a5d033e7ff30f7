// The client library's records and init position as documented for 64-bit Windows: the program reads
// the library's memory and passes the init position by value, so every size and offset must match.
#include <gtest/gtest.h>

#include <cstddef>

#include "platform/simconnect/simconnect_api.h"

namespace vrn::simconnect {
namespace {

static_assert(sizeof(DWORD) == 4 && sizeof(float) == 4 && sizeof(double) == 8);
static_assert(sizeof(SIMCONNECT_RECV) == 12 && sizeof(SIMCONNECT_RECV_EXCEPTION) == 24 &&
              sizeof(SIMCONNECT_RECV_OPEN) == 308 && sizeof(SIMCONNECT_RECV_EVENT) == 24 &&
              sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE) == 28 && sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288 &&
              sizeof(SIMCONNECT_RECV_EVENT_FRAME) == 32 && sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44 &&
              sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE) == 44 && sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID) == 20 &&
              sizeof(SIMCONNECT_DATA_INITPOSITION) == 56);
static_assert(sizeof(SIMCONNECT_PERIOD) == 4 && sizeof(SIMCONNECT_DATATYPE) == 4 &&
              sizeof(SIMCONNECT_SIMOBJECT_TYPE) == 4);

// Offset of a member in T (the records derive from one another, so offsetof does not apply).
template <typename T, typename M, typename B>
std::ptrdiff_t lf_offset(M B::*member) {
    static const T probe{};
    return reinterpret_cast<const char*>(&(probe.*member)) - reinterpret_cast<const char*>(&probe);
}

TEST(SimConnectLayout, FieldsSitAtTheirDocumentedOffsets) {
    using O = SIMCONNECT_RECV_OPEN;
    using D = SIMCONNECT_RECV_SIMOBJECT_DATA;
    using P = SIMCONNECT_DATA_INITPOSITION;
    const std::ptrdiff_t offsets[][2] = {
        {lf_offset<SIMCONNECT_RECV_EXCEPTION>(&SIMCONNECT_RECV_EXCEPTION::dwException), 12},
        {lf_offset<SIMCONNECT_RECV_EXCEPTION>(&SIMCONNECT_RECV_EXCEPTION::dwSendID), 16},
        {lf_offset<SIMCONNECT_RECV_EXCEPTION>(&SIMCONNECT_RECV_EXCEPTION::dwIndex), 20},
        {lf_offset<O>(&O::szApplicationName), 12},
        {lf_offset<O>(&O::dwApplicationVersionMajor), 268},
        {lf_offset<O>(&O::dwApplicationBuildMinor), 280},
        {lf_offset<O>(&O::dwSimConnectBuildMinor), 296},
        {lf_offset<O>(&O::dwReserved2), 304},
        {lf_offset<SIMCONNECT_RECV_EVENT>(&SIMCONNECT_RECV_EVENT::uEventID), 16},
        {lf_offset<SIMCONNECT_RECV_EVENT>(&SIMCONNECT_RECV_EVENT::dwData), 20},
        {lf_offset<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(&SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE::eObjType), 24},
        {lf_offset<SIMCONNECT_RECV_EVENT_FILENAME>(&SIMCONNECT_RECV_EVENT_FILENAME::dwFlags), 284},
        {lf_offset<SIMCONNECT_RECV_EVENT_FRAME>(&SIMCONNECT_RECV_EVENT_FRAME::fFrameRate), 24},
        {lf_offset<D>(&D::dwRequestID), 12},
        {lf_offset<D>(&D::dwObjectID), 16},
        {lf_offset<D>(&D::dwDefineCount), 36},
        {lf_offset<D>(&D::dwData), static_cast<std::ptrdiff_t>(SIMOBJECT_DATA_OFFSET)},
        {lf_offset<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(&SIMCONNECT_RECV_ASSIGNED_OBJECT_ID::dwObjectID), 16},
        {lf_offset<P>(&P::Heading), 40},
        {lf_offset<P>(&P::OnGround), 48},
        {lf_offset<P>(&P::Airspeed), 52},
    };
    for (std::size_t i = 0; i < std::size(offsets); ++i) EXPECT_EQ(offsets[i][0], offsets[i][1]) << "row " << i;
}

// Without the client library every call fails; nothing falls back to the simulated simulator.
TEST(SimConnectLayout, UnavailableTableFailsEveryCall) {
    gf_useClientFunctions(gf_unavailableClientFunctions());
    HANDLE h = nullptr;
    const HRESULT open = SimConnect_Open(&h, "Varnel", nullptr, 0, nullptr, 0);
    const HRESULT create = SimConnect_AICreateNonATCAircraft(h, "Title A", "N1", SIMCONNECT_DATA_INITPOSITION{}, 1);
    gf_useClientFunctions(gf_simulatedClientFunctions());
    EXPECT_EQ(open, E_FAIL);
    EXPECT_EQ(create, E_FAIL);
    EXPECT_EQ(h, nullptr);
}

}  // namespace
}  // namespace vrn::simconnect
