# Checks the Windows package as a clean Windows 10 or 11 machine meets it. Varnel.exe must be a GUI
# program (no console window) and import only libraries that every such Windows has: a DLL that is
# neither there nor in the zip stops the program before its first line. The zip must hold the
# program, its data, the README for Windows users, the third-party notices (plain text, every licence
# they name with its text) and the data sources' list they point to, and not the developer README.
# Usage: cmake -DOBJDUMP=... -DEXE=<stage>/Varnel.exe -DZIP=<package zip> -P check-windows-package.cmake
cmake_minimum_required(VERSION 3.25)

set(system_dlls ADVAPI32 BCRYPT COMCTL32 COMDLG32 CRYPT32 GDI32 IPHLPAPI KERNEL32 MSVCRT OLE32 OLEAUT32
    SHELL32 SHLWAPI USER32 VERSION WINHTTP WINMM WS2_32)

set(failures "")
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed: ${err}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
  string(APPEND failures "\n  no import table found")
endif()
set(names "")
foreach(entry IN LISTS imports)
  string(REGEX REPLACE "^DLL Name: *" "" dll "${entry}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  string(REGEX REPLACE "\\.DLL$" "" upper "${upper}")
  list(APPEND names ${dll})
  if(NOT upper IN_LIST system_dlls)
    string(APPEND failures "\n  imports ${dll}, which Windows does not have and the package does not carry")
  endif()
endforeach()
if(NOT dump MATCHES "Subsystem[ \t]+0*2[ \t]+\\(Windows GUI\\)")
  string(REGEX MATCH "\nSubsystem[ \t]+[^\r\n]*" subsystem "${dump}")
  string(STRIP "${subsystem}" subsystem)
  string(APPEND failures "\n  not a GUI program: ${subsystem}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${ZIP} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  string(APPEND failures "\n  ${ZIP} cannot be listed")
endif()
string(REPLACE "\n" ";" entries "${listing}")
foreach(wanted Varnel/Varnel.exe Varnel/README.txt Varnel/THIRD-PARTY-NOTICES.txt Varnel/SOURCES.md
               Varnel/input/dbase.xml)
  if(NOT wanted IN_LIST entries)
    string(APPEND failures "\n  the zip lacks ${wanted}")
  endif()
endforeach()
if(NOT listing MATCHES "(^|\n)Varnel/docs/?(\n|$)")
  string(APPEND failures "\n  the zip lacks the docs folder Varnel checks it runs from")
endif()
foreach(unwanted Varnel/README.md Varnel/docs/ARCHITECTURE.md Varnel/SimConnect.dll)
  if(unwanted IN_LIST entries)
    string(APPEND failures "\n  the zip holds ${unwanted}")
  endif()
endforeach()

get_filename_component(stage ${EXE} DIRECTORY)
file(READ ${stage}/THIRD-PARTY-NOTICES.txt notices)
foreach(credit "Arseny Kapoulkine" "Victor Zverovich" "Niels Lohmann" "Jean-loup Gailly and Mark Adler"
               "GCC RUNTIME LIBRARY EXCEPTION" "mingw-w64-libraries/winpthreads" "Open Database License (ODbL) 1.0"
               "OpenFlights" "Copyright (c) TU Delft and the BlueSky contributors" "Apache License")
  string(FIND "${notices}" "${credit}" at)
  if(at EQUAL -1)
    string(APPEND failures "\n  THIRD-PARTY-NOTICES.txt does not name ${credit}")
  endif()
endforeach()
# The MIT text twice: nlohmann-json's and BlueSky's.
string(REGEX MATCHALL "Permission is hereby granted, free of charge" mit "${notices}")
list(LENGTH mit mit)
if(mit LESS 2)
  string(APPEND failures "\n  THIRD-PARTY-NOTICES.txt lacks the MIT text of the BlueSky data")
endif()
# Read in Notepad: the section written by the project itself carries no Markdown marks.
string(REPLACE "\r" "" plain "${notices}")
string(FIND "${plain}" "\nAirline and aircraft type data" from)
if(from EQUAL -1)
  string(APPEND failures "\n  THIRD-PARTY-NOTICES.txt has no section on the data")
else()
  string(SUBSTRING "${plain}" ${from} -1 data_section)
  string(FIND "${data_section}" "\n\n\n----" to)   # the next section
  string(SUBSTRING "${data_section}" 0 ${to} data_section)
  if(data_section MATCHES "[`]|[*][*]")
    string(APPEND failures "\n  the data section of THIRD-PARTY-NOTICES.txt is not plain text")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "The Windows package would not serve a clean Windows:${failures}")
endif()
list(JOIN names ", " names)
message(STATUS "Varnel.exe: GUI program importing ${names}")
