# The zip a simmer downloads: Varnel.exe with the data files it reads, a README for Windows users, the
# notices of what the exe and the data contain and the list of the data's sources they point to, as
# the program folder of the Linux stage holds them. SimConnect.dll comes from the simulator's SDK and
# is not shipped.
set(VARNEL_PACKAGE_ROOT ${CMAKE_BINARY_DIR}/package)
set(VARNEL_PACKAGE_STAGE ${VARNEL_PACKAGE_ROOT}/Varnel)
set(VARNEL_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/Varnel-${PROJECT_VERSION}-win64.zip)
file(GLOB_RECURSE package_inputs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)

set(VERSION ${PROJECT_VERSION})
configure_file(${CMAKE_SOURCE_DIR}/docs/windows/README.txt ${CMAKE_BINARY_DIR}/package-texts/README.txt @ONLY
               NEWLINE_STYLE CRLF)

# The licence texts as the sources ship them: pugixml's from its source package (built by
# scripts/build-windows-deps), the header-only libraries' and zlib's from their headers, the
# runtimes' from the toolchain's copyright files.
file(GLOB VARNEL_PUGIXML_LICENSE ${VARNEL_WINDOWS_DEPS}/../src/pugixml-*/LICENSE.md)
find_file(VARNEL_ZLIB_HEADER zlib.h PATHS ${ZLIB_INCLUDE_DIRS} NO_DEFAULT_PATH REQUIRED)
set(VARNEL_GCC_COPYRIGHT /usr/share/doc/gcc-mingw-w64-base/copyright CACHE FILEPATH "GCC runtime licence")
set(VARNEL_MINGW_COPYRIGHT /usr/share/doc/mingw-w64-x86-64-dev/copyright CACHE FILEPATH "MinGW-w64 runtime licence")
set(VARNEL_JSON_COPYRIGHT /usr/share/doc/nlohmann-json3-dev/copyright CACHE FILEPATH "nlohmann-json licence")
set(VARNEL_APACHE_LICENSE /usr/share/common-licenses/Apache-2.0 CACHE FILEPATH "Apache License 2.0 text")
if(NOT VARNEL_PUGIXML_LICENSE)
  message(FATAL_ERROR "pugixml's LICENSE.md not found under ${VARNEL_WINDOWS_DEPS}/../src: run scripts/build-windows-deps")
endif()
set(VARNEL_NOTICES ${CMAKE_BINARY_DIR}/package-texts/THIRD-PARTY-NOTICES.txt)
set(notice_inputs ${VARNEL_PUGIXML_LICENSE} ${VARNEL_FMT_INCLUDE}/fmt/format.h
    ${VARNEL_JSON_INCLUDE}/nlohmann/json.hpp ${VARNEL_JSON_COPYRIGHT} ${VARNEL_ZLIB_HEADER} ${VARNEL_GCC_COPYRIGHT}
    ${VARNEL_MINGW_COPYRIGHT} ${CMAKE_SOURCE_DIR}/data/liveries/reference/README.md ${VARNEL_APACHE_LICENSE})
set(VARNEL_DATA_SOURCES ${CMAKE_SOURCE_DIR}/data/liveries/reference/SOURCES.md)
add_custom_command(OUTPUT ${VARNEL_NOTICES}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${VARNEL_NOTICES} -DPUGIXML_LICENSE=${VARNEL_PUGIXML_LICENSE}
          -DFMT_HEADER=${VARNEL_FMT_INCLUDE}/fmt/format.h -DJSON_HEADER=${VARNEL_JSON_INCLUDE}/nlohmann/json.hpp
          -DJSON_COPYRIGHT=${VARNEL_JSON_COPYRIGHT} -DZLIB_HEADER=${VARNEL_ZLIB_HEADER}
          -DGCC_COPYRIGHT=${VARNEL_GCC_COPYRIGHT} -DMINGW_COPYRIGHT=${VARNEL_MINGW_COPYRIGHT}
          -DDATA_README=${CMAKE_SOURCE_DIR}/data/liveries/reference/README.md
          -DAPACHE_LICENSE=${VARNEL_APACHE_LICENSE}
          -P ${CMAKE_SOURCE_DIR}/cmake/third-party-notices.cmake
  DEPENDS ${notice_inputs} ${CMAKE_SOURCE_DIR}/cmake/third-party-notices.cmake
  COMMENT "Writing THIRD-PARTY-NOTICES.txt"
  VERBATIM)

add_custom_command(OUTPUT ${VARNEL_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VARNEL_PACKAGE_ROOT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNEL_PACKAGE_STAGE}/docs
  # The data builder runs under Wine; its sample packages for the demo stay out of the zip.
  COMMAND varnel-data all --source ${CMAKE_SOURCE_DIR}/data --program ${VARNEL_PACKAGE_STAGE}
          --packages ${VARNEL_PACKAGE_ROOT}/demo-packages
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VARNEL_PACKAGE_ROOT}/demo-packages
  # docs: the folder Varnel checks it runs from, and where its updates put the manual.
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/package-texts/README.txt ${VARNEL_NOTICES}
          ${VARNEL_DATA_SOURCES} $<TARGET_FILE:varnel> ${VARNEL_PACKAGE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VARNEL_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${VARNEL_PACKAGE_ROOT}
          ${CMAKE_COMMAND} -E tar cf ${VARNEL_PACKAGE_ZIP} --format=zip Varnel
  DEPENDS varnel varnel-data ${package_inputs} ${CMAKE_BINARY_DIR}/package-texts/README.txt ${VARNEL_NOTICES}
  COMMENT "Packing Varnel-${PROJECT_VERSION}-win64.zip"
  VERBATIM)
add_custom_target(varnel_package ALL DEPENDS ${VARNEL_PACKAGE_ZIP})

# What a clean Windows machine needs of the package: Varnel.exe a GUI program that imports only
# libraries every Windows 10 and 11 has (Wine brings others, zlib1.dll among them, so a run under
# Wine cannot tell), and the zip with the README and the notices.
if(VARNEL_TESTS)
  add_test(NAME windows_package
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=${VARNEL_PACKAGE_STAGE}/Varnel.exe
            -DZIP=${VARNEL_PACKAGE_ZIP} -P ${CMAKE_SOURCE_DIR}/cmake/check-windows-package.cmake)
  set_tests_properties(windows_package PROPERTIES LABELS unit)
endif()
