// The client API's entry points: each call goes to the table in use. The table is chosen once, before
// the first connection, so a relaxed read is enough on the hot path.
#include "platform/simconnect/simconnect_api.h"

#include <atomic>

namespace vrn::simconnect {
namespace {

std::atomic<const ClientFunctions*> g_clientFunctions{nullptr};

const ClientFunctions& lf_client() {
    const ClientFunctions* table = g_clientFunctions.load(std::memory_order_acquire);
    return table ? *table : gf_simulatedClientFunctions();
}

template <typename... Args>
HRESULT SIMCONNECT_STDCALL lf_fail(Args...) {
    return E_FAIL;
}

}  // namespace

const ClientFunctions& gf_unavailableClientFunctions() {
    static const ClientFunctions table{
        lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail,
        lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail, lf_fail,
    };
    return table;
}

void gf_useClientFunctions(const ClientFunctions& functions) {
    g_clientFunctions.store(&functions, std::memory_order_release);
}

extern "C" {

HRESULT SIMCONNECT_STDCALL SimConnect_Open(HANDLE* phSimConnect, const char* szName, void* hWnd, DWORD UserEventWin32,
                                           HANDLE hEventHandle, DWORD ConfigIndex) {
    return lf_client().open(phSimConnect, szName, hWnd, UserEventWin32, hEventHandle, ConfigIndex);
}

HRESULT SIMCONNECT_STDCALL SimConnect_Close(HANDLE hSimConnect) { return lf_client().close(hSimConnect); }

HRESULT SIMCONNECT_STDCALL SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
    return lf_client().callDispatch(hSimConnect, pfcnDispatch, pContext);
}

HRESULT SIMCONNECT_STDCALL SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError) {
    return lf_client().getLastSentPacketId(hSimConnect, pdwError);
}

HRESULT SIMCONNECT_STDCALL SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                             const char* SystemEventName) {
    return lf_client().subscribeToSystemEvent(hSimConnect, EventID, SystemEventName);
}

HRESULT SIMCONNECT_STDCALL SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect,
                                                                 SIMCONNECT_CLIENT_EVENT_ID EventID) {
    return lf_client().unsubscribeFromSystemEvent(hSimConnect, EventID);
}

HRESULT SIMCONNECT_STDCALL SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                          const char* DatumName, const char* UnitsName,
                                                          SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                                          DWORD DatumID) {
    return lf_client().addToDataDefinition(hSimConnect, DefineID, DatumName, UnitsName, DatumType, fEpsilon, DatumID);
}

HRESULT SIMCONNECT_STDCALL SimConnect_ClearDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID) {
    return lf_client().clearDataDefinition(hSimConnect, DefineID);
}

HRESULT SIMCONNECT_STDCALL SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                               const char* EventName) {
    return lf_client().mapClientEventToSimEvent(hSimConnect, EventID, EventName);
}

HRESULT SIMCONNECT_STDCALL SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect,
                                                                        SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                                        SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                                        BOOL bMaskable) {
    return lf_client().addClientEventToNotificationGroup(hSimConnect, GroupID, EventID, bMaskable);
}

HRESULT SIMCONNECT_STDCALL SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect,
                                                                   SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                                   DWORD uPriority) {
    return lf_client().setNotificationGroupPriority(hSimConnect, GroupID, uPriority);
}

HRESULT SIMCONNECT_STDCALL SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                                          SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                                          SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, DWORD Flags) {
    return lf_client().transmitClientEvent(hSimConnect, ObjectID, EventID, dwData, GroupID, Flags);
}

HRESULT SIMCONNECT_STDCALL SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                             SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                             SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                                             DWORD Flags, DWORD origin, DWORD interval, DWORD limit) {
    return lf_client().requestDataOnSimObject(hSimConnect, RequestID, DefineID, ObjectID, Period, Flags, origin,
                                              interval, limit);
}

HRESULT SIMCONNECT_STDCALL SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect,
                                                                 SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                                 SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                                 DWORD dwRadiusMeters, SIMCONNECT_SIMOBJECT_TYPE type) {
    return lf_client().requestDataOnSimObjectType(hSimConnect, RequestID, DefineID, dwRadiusMeters, type);
}

HRESULT SIMCONNECT_STDCALL SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                         SIMCONNECT_OBJECT_ID ObjectID, DWORD Flags, DWORD ArrayCount,
                                                         DWORD cbUnitSize, void* pDataSet) {
    return lf_client().setDataOnSimObject(hSimConnect, DefineID, ObjectID, Flags, ArrayCount, cbUnitSize, pDataSet);
}

HRESULT SIMCONNECT_STDCALL SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle,
                                                             const char* szTailNumber,
                                                             SIMCONNECT_DATA_INITPOSITION InitPos,
                                                             SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return lf_client().aiCreateNonAtcAircraft(hSimConnect, szContainerTitle, szTailNumber, InitPos, RequestID);
}

HRESULT SIMCONNECT_STDCALL SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                                     SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return lf_client().aiRemoveObject(hSimConnect, ObjectID, RequestID);
}

HRESULT SIMCONNECT_STDCALL SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                                       SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return lf_client().aiReleaseControl(hSimConnect, ObjectID, RequestID);
}

HRESULT SIMCONNECT_STDCALL SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                                              const char* szFlightPlanPath,
                                                              SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return lf_client().aiSetAircraftFlightPlan(hSimConnect, ObjectID, szFlightPlanPath, RequestID);
}

}  // extern "C"

}  // namespace vrn::simconnect
