# Checks one of the Windows binaries the project ships against what it must be, chosen by its file
# name: subsystem, exports and imports through check_pe.cmake, and with VERSION its version resource
# through check_version_info.cmake. Used by the win32 build's tests and by scripts/check-package.
# Run as: cmake -DFILE=... -DOBJDUMP=... [-DMACHINE=PE32] [-DWINDRES=... -DVERSION=1.2.3 -DPRODUCT=...]
#         -P check_windows_binary.cmake
cmake_minimum_required(VERSION 3.25)
# The mingw runtime is linked in, so Windows' own C runtime is all the programs import besides the system.
set(SYSTEM_DLLS kernel32.dll msvcrt.dll)

get_filename_component(name "${FILE}" NAME)
if(name STREQUAL "Dialbook.dll")
    set(EXPORTS OpenDatabase CloseDatabase SearchInDatabase FillDatabaseRecord)
    set(ALLOWED_IMPORTS ${SYSTEM_DLLS})
elseif(name STREQUAL "morwen.exe")
    set(SUBSYSTEM console)
    set(LARGE_ADDRESS_AWARE ON)
    set(ALLOWED_IMPORTS ${SYSTEM_DLLS})
    set(REQUIRED_IMPORTS Dialbook.dll)
elseif(name STREQUAL "velkor.exe")
    # The viewer binds Dialbook.dll at run time, so it must not import it.
    set(SUBSYSTEM gui)
    set(LARGE_ADDRESS_AWARE ON)
    set(ALLOWED_IMPORTS ${SYSTEM_DLLS} user32.dll gdi32.dll comctl32.dll comdlg32.dll)
else()
    message(FATAL_ERROR "${FILE}: not one of the binaries the project ships")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/check_pe.cmake)
if(DEFINED VERSION)
    include(${CMAKE_CURRENT_LIST_DIR}/check_version_info.cmake)
endif()
