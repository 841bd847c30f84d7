# Static checks of the 32-bit Windows build: plain cdecl export names, 32-bit images of the right
# subsystem, nothing imported beyond Windows itself, and the version resource of this version.
# What each binary must be is kept in cmake/check_windows_binary.cmake, which checks the package too.
set(CHECK_BINARY ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMACHINE=PE32
    -DWINDRES=${CMAKE_RC_COMPILER} -DVERSION=${PROJECT_VERSION} -DPRODUCT=${PROJECT_NAME})

add_test(NAME dialbook_dll_exports_and_imports
    COMMAND ${CHECK_BINARY} -DFILE=$<TARGET_FILE:dialbook> -P ${PROJECT_SOURCE_DIR}/cmake/check_windows_binary.cmake)

if(TARGET morwen)
    add_test(NAME morwen_exe_imports
        COMMAND ${CHECK_BINARY} -DFILE=$<TARGET_FILE:morwen> -P ${PROJECT_SOURCE_DIR}/cmake/check_windows_binary.cmake)
endif()

if(TARGET velkor)
    add_test(NAME velkor_exe_imports
        COMMAND ${CHECK_BINARY} -DFILE=$<TARGET_FILE:velkor> -P ${PROJECT_SOURCE_DIR}/cmake/check_windows_binary.cmake)
endif()

# Where 32-bit programs cannot run, scripts/test runs only these (ctest -L static). They run in the
# Russian locale our developers often work in, whose translated tool output they must not misread.
set(STATIC_CHECKS dialbook_dll_exports_and_imports)
if(TARGET morwen)
    list(APPEND STATIC_CHECKS morwen_exe_imports)
endif()
if(TARGET velkor)
    list(APPEND STATIC_CHECKS velkor_exe_imports)
endif()
set_tests_properties(${STATIC_CHECKS} PROPERTIES LABELS static ENVIRONMENT LC_ALL=ru_RU.UTF-8)
