# How test programs are found and registered, the same way natively and under Wine.
if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest as sources; build them with the cross compiler.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Registers a GoogleTest program: each case on its own natively, labelled memcheck so that
# scripts/memcheck runs it under valgrind; under Wine the whole program as one test, since every
# Wine start costs about a second. It runs in the test folder; a program whose cases share names
# with another's is given a name after the target: its cases are then registered under that name
# and run in a folder of that name, so that neither program's scratch files nor test properties
# meet the other's.
function(dialbook_add_gtest target)
    set(folder ${CMAKE_CURRENT_BINARY_DIR})
    set(prefix "")
    if(ARGC GREATER 1)
        set(folder ${CMAKE_CURRENT_BINARY_DIR}/${ARGV1})
        set(prefix ${ARGV1}.)
        file(MAKE_DIRECTORY ${folder})
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${folder})
    else()
        gtest_discover_tests(${target} WORKING_DIRECTORY ${folder} TEST_PREFIX "${prefix}" DISCOVERY_TIMEOUT 60
                             PROPERTIES LABELS memcheck)
    endif()
endfunction()
