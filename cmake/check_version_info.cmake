# Checks a built Windows binary's version resource, as windres reads it back: the numeric and the
# text versions, the product name, and the original file name (the file's own name).
# Run as: cmake -DFILE=... -DWINDRES=... -DVERSION=1.2.3 -DPRODUCT=... -P check_version_info.cmake
cmake_minimum_required(VERSION 3.25)
set(ENV{LC_ALL} C)   # the tool's own words in the C locale, whatever the shell's
execute_process(COMMAND ${WINDRES} -i ${FILE} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${FILE}: windres could not read its resources")
endif()
string(REGEX MATCH "[0-9]+ VERSIONINFO\n.*" info "${resources}")
if(NOT info)
    message(FATAL_ERROR "${FILE}: no version resource")
endif()

string(REPLACE "." ", " numbers "${VERSION}")
get_filename_component(name "${FILE}" NAME)
set(expected
    " FILEVERSION ${numbers}, 0\n"
    " PRODUCTVERSION ${numbers}, 0\n"
    "VALUE \"FileVersion\", \"${VERSION}\"\n"
    "VALUE \"ProductVersion\", \"${VERSION}\"\n"
    "VALUE \"ProductName\", \"${PRODUCT}\"\n"
    "VALUE \"OriginalFilename\", \"${name}\"\n")
foreach(line IN LISTS expected)
    string(FIND "${info}" "${line}" at)
    if(at EQUAL -1)
        string(STRIP "${line}" line)
        message(FATAL_ERROR "${FILE}: the version resource lacks '${line}'")
    endif()
endforeach()
if(NOT info MATCHES "VALUE \"FileDescription\", \"[^\"]+\"")
    message(FATAL_ERROR "${FILE}: the version resource has no file description")
endif()
message(STATUS "${FILE}: ${PRODUCT} ${VERSION}")
