# Windows: the simulated simulator as a stand-in SimConnect.dll exporting the client library's C API,
# so the Windows tests drive Varnel.exe through the library it loads beside the real simulator. It is
# built into <build>/standin/, away from the program, so that nothing finds it by accident; tests copy
# it beside the program they run.
file(GLOB standin_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER standin_sources EXCLUDE REGEX "_(win32|posix)\\.cpp$")
add_library(simconnect_standin SHARED ${standin_sources} ${CMAKE_CURRENT_LIST_DIR}/simconnect_standin.def)
set_target_properties(simconnect_standin PROPERTIES
  OUTPUT_NAME SimConnect PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin)
target_include_directories(simconnect_standin PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(simconnect_standin PRIVATE varnel_deps)
# No MinGW runtime DLLs beside it: the C++ runtime is linked in, as in the program.
target_link_options(simconnect_standin PRIVATE -static -static-libgcc -static-libstdc++)
