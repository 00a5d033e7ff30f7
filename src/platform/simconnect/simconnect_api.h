#pragma once
// The simulator's client API, as far as Varnel uses it: our own declarations of the calls, message
// records and numbers the link relies on, written from the public documentation. The calls have the
// client library's C ABI (C names, the Windows standard calling convention, the documented record
// layouts), so one table of them serves both ways: the in-process simulated simulator
// (simulated_simulator.h) and, on Windows, SimConnect.dll loaded at run time (simconnect_library.h).
// The program calls the functions below; they forward to whichever table is in use.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define SIMCONNECT_STDCALL __stdcall
#else
#define SIMCONNECT_STDCALL
#endif

// A C library by nature; kept in its own namespace so its short names stay out of the program's.
namespace vrn::simconnect {

// The Windows types of these names (LONG and DWORD are long on Windows), so that a file that also
// includes <windows.h> sees the same types and not a clash.
#if defined(_WIN32)
using DWORD = unsigned long;
using HRESULT = long;
#else
using DWORD = std::uint32_t;
using HRESULT = std::int32_t;
#endif
using HANDLE = void*;
using BOOL = int;
static_assert(sizeof(DWORD) == 4 && sizeof(HRESULT) == 4);

// <windows.h> defines these as macros with the same values and meaning; where it came first its
// macros serve, and these would not survive its expansion.
#ifndef S_OK
inline constexpr HRESULT S_OK = 0;
#endif
#ifndef E_FAIL
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
#endif
#ifndef SUCCEEDED
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
#endif
#ifndef FAILED
inline bool FAILED(HRESULT hr) { return hr < 0; }
#endif

using SIMCONNECT_OBJECT_ID = DWORD;
using SIMCONNECT_CLIENT_EVENT_ID = DWORD;
using SIMCONNECT_NOTIFICATION_GROUP_ID = DWORD;
using SIMCONNECT_DATA_DEFINITION_ID = DWORD;
using SIMCONNECT_DATA_REQUEST_ID = DWORD;

inline constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
inline constexpr SIMCONNECT_OBJECT_ID SIMCONNECT_OBJECT_ID_USER = 0;
inline constexpr DWORD SIMCONNECT_GROUP_PRIORITY_HIGHEST = 1;
inline constexpr DWORD SIMCONNECT_RECV_APPLICATION_NAME_LENGTH = 256;

// Message ids (dwID of every received record).
enum SIMCONNECT_RECV_ID : DWORD {
    SIMCONNECT_RECV_ID_NULL = 0,
    SIMCONNECT_RECV_ID_EXCEPTION = 1,
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_QUIT = 3,
    SIMCONNECT_RECV_ID_EVENT = 4,
    SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
    SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
    SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
    SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID = 12,
    SIMCONNECT_RECV_ID_CLIENT_DATA = 16,
    SIMCONNECT_RECV_ID_PICK = 27,
};

// Exception numbers (dwException).
enum SIMCONNECT_EXCEPTION : DWORD {
    SIMCONNECT_EXCEPTION_NONE = 0,
    SIMCONNECT_EXCEPTION_ERROR = 1,
    SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
    SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
    SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
    SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS = 11,
    SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE = 19,
    SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED = 22,
    SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED = 23,
    SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE = 24,
};

enum SIMCONNECT_SIMOBJECT_TYPE : DWORD {
    SIMCONNECT_SIMOBJECT_TYPE_USER = 0,
    SIMCONNECT_SIMOBJECT_TYPE_ALL = 1,
    SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT = 2,
    SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER = 3,
};

enum SIMCONNECT_DATATYPE : DWORD {
    SIMCONNECT_DATATYPE_INVALID = 0,
    SIMCONNECT_DATATYPE_INT32 = 1,
    SIMCONNECT_DATATYPE_INT64 = 2,
    SIMCONNECT_DATATYPE_FLOAT32 = 3,
    SIMCONNECT_DATATYPE_FLOAT64 = 4,
    SIMCONNECT_DATATYPE_STRING32 = 6,
    SIMCONNECT_DATATYPE_STRINGV = 11,
};

enum SIMCONNECT_PERIOD : DWORD {
    SIMCONNECT_PERIOD_NEVER = 0,
    SIMCONNECT_PERIOD_ONCE = 1,
    SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
    SIMCONNECT_PERIOD_SIM_FRAME = 3,
    SIMCONNECT_PERIOD_SECOND = 4,
};

// Where and how a created object is placed.
struct SIMCONNECT_DATA_INITPOSITION {
    double Latitude = 0.0;    // degrees
    double Longitude = 0.0;   // degrees
    double Altitude = 0.0;    // feet
    double Pitch = 0.0;       // degrees
    double Bank = 0.0;        // degrees
    double Heading = 0.0;     // degrees
    DWORD OnGround = 0;       // 1: placed on the ground
    DWORD Airspeed = 0;       // knots
};

// Received records. Every record starts with the common header; dwID says which one it is.
// Records hold only 4-byte fields (the init position its doubles first), so no packing pragma is
// needed: there is no padding, and the layouts are the documented ones under any packing. The
// layout test pins every size and offset the program reads.
struct SIMCONNECT_RECV {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwID;
};

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
    DWORD dwException;
    DWORD dwSendID;   // packet id of the call that failed
    DWORD dwIndex;    // argument index of the failure, where known
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
    char szApplicationName[SIMCONNECT_RECV_APPLICATION_NAME_LENGTH];
    DWORD dwApplicationVersionMajor;
    DWORD dwApplicationVersionMinor;
    DWORD dwApplicationBuildMajor;
    DWORD dwApplicationBuildMinor;
    DWORD dwSimConnectVersionMajor;
    DWORD dwSimConnectVersionMinor;
    DWORD dwSimConnectBuildMajor;
    DWORD dwSimConnectBuildMinor;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

struct SIMCONNECT_RECV_QUIT : SIMCONNECT_RECV {};

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
    DWORD uGroupID;
    DWORD uEventID;
    DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE : SIMCONNECT_RECV_EVENT {
    DWORD eObjType;   // SIMCONNECT_SIMOBJECT_TYPE
};

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
    char szFileName[260];
    DWORD dwFlags;
};

struct SIMCONNECT_RECV_EVENT_FRAME : SIMCONNECT_RECV_EVENT {
    float fFrameRate;
    float fSimSpeed;
};

// Object data: the data block starts at dwData and runs to the end of the record (dwSize).
struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwObjectID;
    DWORD dwDefineID;
    DWORD dwFlags;
    DWORD dwentrynumber;
    DWORD dwoutof;
    DWORD dwDefineCount;
    DWORD dwData;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE : SIMCONNECT_RECV_SIMOBJECT_DATA {};

// Where the data block starts in an object data record (the offset of dwData).
inline constexpr std::size_t SIMOBJECT_DATA_OFFSET = 40;
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == SIMOBJECT_DATA_OFFSET + sizeof(DWORD));

struct SIMCONNECT_RECV_ASSIGNED_OBJECT_ID : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwObjectID;
};

using DispatchProc = void(SIMCONNECT_STDCALL*)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// The calls. Every call that reaches the simulator is one packet; its id is what
// SimConnect_GetLastSentPacketID returns and what an exception's dwSendID names.
extern "C" {
HRESULT SIMCONNECT_STDCALL SimConnect_Open(HANDLE* phSimConnect, const char* szName, void* hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT SIMCONNECT_STDCALL SimConnect_Close(HANDLE hSimConnect);
HRESULT SIMCONNECT_STDCALL SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
HRESULT SIMCONNECT_STDCALL SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError);

HRESULT SIMCONNECT_STDCALL SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          const char* SystemEventName);
HRESULT SIMCONNECT_STDCALL SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID);

HRESULT SIMCONNECT_STDCALL SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       const char* DatumName, const char* UnitsName,
                                       SIMCONNECT_DATATYPE DatumType, float fEpsilon, DWORD DatumID);
HRESULT SIMCONNECT_STDCALL SimConnect_ClearDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID);

HRESULT SIMCONNECT_STDCALL SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            const char* EventName);
HRESULT SIMCONNECT_STDCALL SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID, BOOL bMaskable);
HRESULT SIMCONNECT_STDCALL SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority);
HRESULT SIMCONNECT_STDCALL SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, DWORD Flags);

HRESULT SIMCONNECT_STDCALL SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, DWORD Flags, DWORD origin, DWORD interval,
                                          DWORD limit);
HRESULT SIMCONNECT_STDCALL SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type);
HRESULT SIMCONNECT_STDCALL SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, DWORD Flags, DWORD ArrayCount, DWORD cbUnitSize,
                                      void* pDataSet);

HRESULT SIMCONNECT_STDCALL SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* szContainerTitle,
                                          const char* szTailNumber, SIMCONNECT_DATA_INITPOSITION InitPos,
                                          SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SIMCONNECT_STDCALL SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SIMCONNECT_STDCALL SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SIMCONNECT_STDCALL SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                           const char* szFlightPlanPath, SIMCONNECT_DATA_REQUEST_ID RequestID);
}  // extern "C"

// Every call of the API as one table: what the simulated simulator offers, or what was found in
// the loaded library. All entries are set.
struct ClientFunctions {
    decltype(&SimConnect_Open) open;
    decltype(&SimConnect_Close) close;
    decltype(&SimConnect_CallDispatch) callDispatch;
    decltype(&SimConnect_GetLastSentPacketID) getLastSentPacketId;
    decltype(&SimConnect_SubscribeToSystemEvent) subscribeToSystemEvent;
    decltype(&SimConnect_UnsubscribeFromSystemEvent) unsubscribeFromSystemEvent;
    decltype(&SimConnect_AddToDataDefinition) addToDataDefinition;
    decltype(&SimConnect_ClearDataDefinition) clearDataDefinition;
    decltype(&SimConnect_MapClientEventToSimEvent) mapClientEventToSimEvent;
    decltype(&SimConnect_AddClientEventToNotificationGroup) addClientEventToNotificationGroup;
    decltype(&SimConnect_SetNotificationGroupPriority) setNotificationGroupPriority;
    decltype(&SimConnect_TransmitClientEvent) transmitClientEvent;
    decltype(&SimConnect_RequestDataOnSimObject) requestDataOnSimObject;
    decltype(&SimConnect_RequestDataOnSimObjectType) requestDataOnSimObjectType;
    decltype(&SimConnect_SetDataOnSimObject) setDataOnSimObject;
    decltype(&SimConnect_AICreateNonATCAircraft) aiCreateNonAtcAircraft;
    decltype(&SimConnect_AIRemoveObject) aiRemoveObject;
    decltype(&SimConnect_AIReleaseControl) aiReleaseControl;
    decltype(&SimConnect_AISetAircraftFlightPlan) aiSetAircraftFlightPlan;
};

// The simulated simulator of this process behind every call (the default).
const ClientFunctions& gf_simulatedClientFunctions();
// Calls that all fail (E_FAIL): what the program uses when the client library could not be loaded.
const ClientFunctions& gf_unavailableClientFunctions();
// Chooses the table the calls go to. Called before any connection is opened; the table must outlive
// every call.
void gf_useClientFunctions(const ClientFunctions& functions);

}  // namespace vrn::simconnect
