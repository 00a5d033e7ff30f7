# Windows: the simulated simulator as a stand-in SimConnect.dll exporting the client library's C API.
# It is built beside the built Varnel.exe, which therefore runs against the simulated simulator as the
# Linux build does, through the library it loads beside the real simulator. The package ships only
# Varnel.exe: the user's SimConnect.dll comes from the simulator's SDK.
file(GLOB standin_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER standin_sources EXCLUDE REGEX "_(win32|posix)\\.cpp$")
# The simulated simulator's clock waits as the program does.
list(APPEND standin_sources ${CMAKE_CURRENT_LIST_DIR}/../sys/sleep_win32.cpp ${CMAKE_CURRENT_LIST_DIR}/../sys/timer_win32.cpp)
add_library(simconnect_standin SHARED ${standin_sources} ${CMAKE_CURRENT_LIST_DIR}/simconnect_standin.def)
set_target_properties(simconnect_standin PROPERTIES OUTPUT_NAME SimConnect PREFIX "")
target_include_directories(simconnect_standin PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(simconnect_standin PRIVATE varnel_deps)
# No MinGW runtime DLLs beside it: the C++ runtime is linked in, as in the program.
target_link_options(simconnect_standin PRIVATE -static -static-libgcc -static-libstdc++)
