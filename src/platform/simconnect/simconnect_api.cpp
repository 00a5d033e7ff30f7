// The client API served by the process's simulated simulator.
#include "platform/simconnect/simconnect_api.h"

#include "platform/simconnect/simulated_simulator.h"

namespace vrn::simconnect {

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, void* /*hWnd*/, DWORD /*UserEventWin32*/,
                        HANDLE /*hEventHandle*/, DWORD /*ConfigIndex*/) {
    gf_simulator().ensureConfigured();
    return gf_simulator().open(phSimConnect, szName);
}

HRESULT SimConnect_Close(HANDLE hSimConnect) { return gf_simulator().close(hSimConnect); }

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext) {
    return gf_simulator().callDispatch(hSimConnect, pfcnDispatch, pContext);
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError) {
    return gf_simulator().lastSentPacketId(hSimConnect, pdwError);
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          const char* SystemEventName) {
    return gf_simulator().subscribe(hSimConnect, EventID, SystemEventName);
}

HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID) {
    return gf_simulator().unsubscribe(hSimConnect, EventID);
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       const char* DatumName, const char* UnitsName, SIMCONNECT_DATATYPE DatumType,
                                       float /*fEpsilon*/, DWORD /*DatumID*/) {
    return gf_simulator().addToDefinition(hSimConnect, DefineID, DatumName, UnitsName, DatumType);
}

HRESULT SimConnect_ClearDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID) {
    return gf_simulator().clearDefinition(hSimConnect, DefineID);
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            const char* EventName) {
    return gf_simulator().mapClientEvent(hSimConnect, EventID, EventName);
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL /*bMaskable*/) {
    return gf_simulator().addToGroup(hSimConnect, GroupID, EventID);
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority) {
    return gf_simulator().setGroupPriority(hSimConnect, GroupID, uPriority);
}

HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, DWORD /*Flags*/) {
    return gf_simulator().transmitClientEvent(hSimConnect, ObjectID, EventID, dwData, GroupID);
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, DWORD /*Flags*/, DWORD /*origin*/,
                                          DWORD /*interval*/, DWORD /*limit*/) {
    return gf_simulator().requestData(hSimConnect, RequestID, DefineID, ObjectID, Period);
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type) {
    return gf_simulator().requestDataByType(hSimConnect, RequestID, DefineID, dwRadiusMeters, type);
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, DWORD /*Flags*/, DWORD ArrayCount,
                                      DWORD cbUnitSize, void* pDataSet) {
    return gf_simulator().setData(hSimConnect, DefineID, ObjectID, ArrayCount, cbUnitSize, pDataSet);
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle, const char* szTailNumber,
                                          SIMCONNECT_DATA_INITPOSITION InitPos, SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().createAircraft(hSimConnect, szContainerTitle, szTailNumber, InitPos, RequestID);
}

HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().removeObject(hSimConnect, ObjectID, RequestID);
}

HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().releaseControl(hSimConnect, ObjectID, RequestID);
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                           const char* szFlightPlanPath, SIMCONNECT_DATA_REQUEST_ID RequestID) {
    return gf_simulator().setFlightPlan(hSimConnect, ObjectID, szFlightPlanPath, RequestID);
}

}  // namespace vrn::simconnect
