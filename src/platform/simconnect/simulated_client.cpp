// The client API served by the process's simulated simulator: the table the calls use unless the
// client library was loaded (and what the stand-in SimConnect.dll exports).
#include "platform/simconnect/simconnect_api.h"
#include "platform/simconnect/simulated_simulator.h"

namespace vrn::simconnect {
namespace {

HRESULT SIMCONNECT_STDCALL lf_Open(HANDLE* phSimConnect, const char* szName, void* /*hWnd*/, DWORD /*UserEventWin32*/,
                                   HANDLE /*hEventHandle*/, DWORD /*ConfigIndex*/) {
    gf_simulator().ensureConfigured();
    return gf_simulator().open(phSimConnect, szName);
}

HRESULT SIMCONNECT_STDCALL lf_Close(HANDLE hSimConnect) { return gf_simulator().close(hSimConnect); }

HRESULT SIMCONNECT_STDCALL lf_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
    return gf_simulator().callDispatch(hSimConnect, pfcnDispatch, pContext);
}

HRESULT SIMCONNECT_STDCALL lf_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError) {
    return gf_simulator().lastSentPacketId(hSimConnect, pdwError);
}

HRESULT SIMCONNECT_STDCALL lf_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                     const char* SystemEventName) {
    return gf_simulator().subscribe(hSimConnect, EventID, SystemEventName);
}

HRESULT SIMCONNECT_STDCALL lf_UnsubscribeFromSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID) {
    return gf_simulator().unsubscribe(hSimConnect, EventID);
}

HRESULT SIMCONNECT_STDCALL lf_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                  const char* DatumName, const char* UnitsName,
                                                  SIMCONNECT_DATATYPE DatumType, float /*fEpsilon*/,
                                                  DWORD /*DatumID*/) {
    return gf_simulator().addToDefinition(hSimConnect, DefineID, DatumName, UnitsName, DatumType);
}

HRESULT SIMCONNECT_STDCALL lf_ClearDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID) {
    return gf_simulator().clearDefinition(hSimConnect, DefineID);
}

HRESULT SIMCONNECT_STDCALL lf_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                       const char* EventName) {
    return gf_simulator().mapClientEvent(hSimConnect, EventID, EventName);
}

HRESULT SIMCONNECT_STDCALL lf_AddClientEventToNotificationGroup(HANDLE hSimConnect,
                                                                SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                                SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                                BOOL /*bMaskable*/) {
    return gf_simulator().addToGroup(hSimConnect, GroupID, EventID);
}

HRESULT SIMCONNECT_STDCALL lf_SetNotificationGroupPriority(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                           DWORD uPriority) {
    return gf_simulator().setGroupPriority(hSimConnect, GroupID, uPriority);
}

HRESULT SIMCONNECT_STDCALL lf_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                                  SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                                  SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, DWORD /*Flags*/) {
    return gf_simulator().transmitClientEvent(hSimConnect, ObjectID, EventID, dwData, GroupID);
}

HRESULT SIMCONNECT_STDCALL lf_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                     SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                     SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                                     DWORD /*Flags*/, DWORD /*origin*/, DWORD /*interval*/,
                                                     DWORD /*limit*/) {
    return gf_simulator().requestData(hSimConnect, RequestID, DefineID, ObjectID, Period);
}

HRESULT SIMCONNECT_STDCALL lf_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                         SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                                         SIMCONNECT_SIMOBJECT_TYPE type) {
    return gf_simulator().requestDataByType(hSimConnect, RequestID, DefineID, dwRadiusMeters, type);
}

HRESULT SIMCONNECT_STDCALL lf_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                 SIMCONNECT_OBJECT_ID ObjectID, DWORD /*Flags*/, DWORD ArrayCount,
                                                 DWORD cbUnitSize, void* pDataSet) {
    return gf_simulator().setData(hSimConnect, DefineID, ObjectID, ArrayCount, cbUnitSize, pDataSet);
}

HRESULT SIMCONNECT_STDCALL lf_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle,
                                                     const char* szTailNumber, SIMCONNECT_DATA_INITPOSITION InitPos,
                                                     SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().createAircraft(hSimConnect, szContainerTitle, szTailNumber, InitPos, RequestID);
}

HRESULT SIMCONNECT_STDCALL lf_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                             SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().removeObject(hSimConnect, ObjectID, RequestID);
}

HRESULT SIMCONNECT_STDCALL lf_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                               SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().releaseControl(hSimConnect, ObjectID, RequestID);
}

HRESULT SIMCONNECT_STDCALL lf_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                                      const char* szFlightPlanPath,
                                                      SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().setFlightPlan(hSimConnect, ObjectID, szFlightPlanPath, RequestID);
}

}  // namespace

const ClientFunctions& gf_simulatedClientFunctions() {
    static const ClientFunctions table{
        lf_Open,
        lf_Close,
        lf_CallDispatch,
        lf_GetLastSentPacketID,
        lf_SubscribeToSystemEvent,
        lf_UnsubscribeFromSystemEvent,
        lf_AddToDataDefinition,
        lf_ClearDataDefinition,
        lf_MapClientEventToSimEvent,
        lf_AddClientEventToNotificationGroup,
        lf_SetNotificationGroupPriority,
        lf_TransmitClientEvent,
        lf_RequestDataOnSimObject,
        lf_RequestDataOnSimObjectType,
        lf_SetDataOnSimObject,
        lf_AICreateNonATCAircraft,
        lf_AIRemoveObject,
        lf_AIReleaseControl,
        lf_AISetAircraftFlightPlan,
    };
    return table;
}

}  // namespace vrn::simconnect
