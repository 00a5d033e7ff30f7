# Writes THIRD-PARTY-NOTICES.txt for the Windows package from the licence texts the sources carry
# themselves: Varnel.exe links pugixml, {fmt}, nlohmann-json, zlib, the GCC runtime (libstdc++,
# libgcc) and the MinGW-w64 runtime with winpthreads statically, and input/dbase.xml is derived from
# OpenFlights data and holds a few values of BlueSky (MIT) and pycontrails (Apache 2.0) data. A text that cannot be found stops the build: a package never ships without it.
# Usage: cmake -DOUTPUT=... -DPUGIXML_LICENSE=... -DFMT_HEADER=... -DJSON_HEADER=... -DJSON_COPYRIGHT=...
#   -DZLIB_HEADER=... -DGCC_COPYRIGHT=... -DMINGW_COPYRIGHT=... -DDATA_README=... -DAPACHE_LICENSE=...
#   -P third-party-notices.cmake
cmake_minimum_required(VERSION 3.25)

function(lf_read var path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "third-party notices: ${path} is missing")
  endif()
  file(READ "${path}" text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The text from the line `first` up to and including `last` (a text ending a line).
function(lf_between var text first last what)
  string(FIND "${text}" "${first}" from)
  if(from EQUAL -1)
    message(FATAL_ERROR "third-party notices: '${first}' not found in ${what}")
  endif()
  string(LENGTH "${first}" n)
  math(EXPR after "${from} + ${n}")
  string(SUBSTRING "${text}" ${after} -1 rest)
  string(FIND "${rest}" "${last}" to)
  if(to EQUAL -1)
    message(FATAL_ERROR "third-party notices: '${last}' not found in ${what}")
  endif()
  string(LENGTH "${last}" n)
  math(EXPR to "${to} + ${n}")
  string(SUBSTRING "${rest}" 0 ${to} part)
  set(${var} "${first}${part}" PARENT_SCOPE)
endfunction()

# `text` with each regular expression of the pattern-replacement pairs that follow replaced in turn
# (read through ARGV, which keeps empty replacements).
function(lf_rewrite var text)
  math(EXPR last "${ARGC} - 1")
  foreach(i RANGE 2 ${last} 2)
    math(EXPR j "${i} + 1")
    string(REGEX REPLACE "${ARGV${i}}" "${ARGV${j}}" text "${text}")
  endforeach()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The first C comment of a source file, without its delimiters and the stars that start its lines.
function(lf_firstComment var path)
  lf_read(text "${path}")
  lf_between(block "${text}" "/*" "*/" "${path}")
  lf_rewrite(block "${block}" "^/\\*+" "" "\\*/$" "" "\n \\* ?" "\n")
  set(${var} "${block}" PARENT_SCOPE)
endfunction()

# One paragraph of a Debian copyright file (machine-readable format), starting with the line
# `first`; continuation lines lose their leading blank and " ." becomes an empty line (twice, for
# two such lines in a row).
function(lf_debianParagraph var path first)
  lf_read(text "${path}")
  lf_between(paragraph "\n\n${text}\n\n" "\n\n${first}\n" "\n\n" "${path}")
  lf_rewrite(paragraph "${paragraph}" "^\n+" "" "\n+$" "" "\n \\.\n" "\n\n" "\n \\.\n" "\n\n" "\n " "\n")
  set(${var} "${paragraph}" PARENT_SCOPE)
endfunction()

set(out "Varnel: third-party notices
===========================

Varnel.exe contains the libraries below, linked into it; input/dbase.xml contains data derived from
the databases below. Each is listed with the licence text its authors ship with it.
SimConnect.dll is not part of this package: it comes from the simulator's SDK, under its own terms.
")
macro(lf_section title from body)
  string(APPEND out "\n\n------------------------------------------------------------------------\n${title}\n(${from})\n------------------------------------------------------------------------\n\n${body}\n")
endmacro()

lf_read(pugixml "${PUGIXML_LICENSE}")
lf_section("pugixml, XML reading and writing" "licence file of the pugixml sources" "${pugixml}")

lf_firstComment(fmt "${FMT_HEADER}")
lf_section("{fmt}, text formatting" "fmt/format.h" "${fmt}")

lf_read(json_header "${JSON_HEADER}")
lf_between(json_credit "${json_header}" "// SPDX-FileCopyrightText: " "\n" "${JSON_HEADER}")
string(REPLACE "// SPDX-FileCopyrightText: " "Copyright (c) " json_credit "${json_credit}")
lf_debianParagraph(json_licence "${JSON_COPYRIGHT}" "License: Expat")
string(REGEX REPLACE "^License: Expat\n" "MIT License\n\n" json_licence "${json_licence}")
lf_section("JSON for Modern C++ (nlohmann-json), JSON reading" "nlohmann/json.hpp and the package's copyright file"
           "${json_credit}\n${json_licence}")

lf_firstComment(zlib "${ZLIB_HEADER}")
lf_section("zlib, compressed data" "zlib.h" "${zlib}")

lf_read(gcc "${GCC_COPYRIGHT}")
lf_between(gcc_exception "${gcc}" "GCC RUNTIME LIBRARY EXCEPTION" "requirements of the license of GCC.\n" "${GCC_COPYRIGHT}")
lf_section("GCC runtime libraries (libstdc++, libgcc)"
           "the compiler's copyright file"
           "Copyright (C) Free Software Foundation, Inc.\n\nThe GCC runtime libraries are free software under the GNU General Public License,\nversion 3, with the GCC Runtime Library Exception, version 3.1, which lets programs compiled\nwith GCC contain them under terms of the program's choice. The exception's text:\n\n${gcc_exception}")

lf_debianParagraph(mingw_crt "${MINGW_COPYRIGHT}" "Files: *")
lf_debianParagraph(winpthreads "${MINGW_COPYRIGHT}" "Files: mingw-w64-libraries/winpthreads/*")
lf_debianParagraph(expat "${MINGW_COPYRIGHT}" "License: expat")
lf_debianParagraph(lockless "${MINGW_COPYRIGHT}" "Files: mingw-w64-libraries/winpthreads/include/pthread.h")
lf_section("MinGW-w64 runtime and winpthreads (threads)" "the MinGW-w64 copyright file"
           "${mingw_crt}\n\n${winpthreads}\n\n${expat}\n\n${lockless}")

lf_read(readme "${DATA_README}")
lf_between(credits "${readme}" "## Credits and licences" "are listed in `SOURCES.md`." "${DATA_README}")
string(REPLACE "## Credits and licences\n\n" "" credits "${credits}")
# Plain text for Notepad: no Markdown emphasis or code marks; the sources' list ships beside this file.
lf_rewrite(credits "${credits}" "\\*\\*" "" "`" "" "listed in SOURCES\\.md\\.$" "listed in SOURCES.md, beside this file.")
lf_section("Airline and aircraft type data in input/dbase.xml"
           "data/liveries/reference/README.md of the Varnel sources"
           "input/dbase.xml holds an airline table derived from OpenFlights airline data. That table is\nmade available under the Open Database License (ODbL) 1.0,\nhttps://opendatacommons.org/licenses/odbl/1-0/ ; any rights in its individual contents under the\nDatabase Contents License (DbCL) 1.0, https://opendatacommons.org/licenses/dbcl/1-0/ .\nThe tables it was made from (airlines.csv and types.csv, in data/liveries/reference/ of the Varnel\nsources) are the form of the data to make changes to.\n\n${credits}")

# BlueSky's data is under the MIT licence, the same text as nlohmann-json's above; its copyright
# line is the one the data's credit gives.
if(NOT readme MATCHES "BlueSky[^\n]*\n?[^\n]*MIT licence; copyright ([^)]+)\\)")
  message(FATAL_ERROR "third-party notices: BlueSky's copyright not found in ${DATA_README}")
endif()
string(REGEX REPLACE "[ \n]+" " " bluesky_holders "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^MIT License\n\n" "" mit_text "${json_licence}")
lf_section("MIT License (TU Delft BlueSky data, see above)" "the licence's standard text"
           "Copyright (c) ${bluesky_holders}\n\n${mit_text}")

lf_read(apache "${APACHE_LICENSE}")
lf_section("Apache License 2.0 (pycontrails data, see above)" "the licence's text" "${apache}")

# Windows line ends, for Notepad of every Windows version.
string(REPLACE "\r\n" "\n" out "${out}")
string(REPLACE "\n" "\r\n" out "${out}")
file(WRITE "${OUTPUT}" "${out}")
