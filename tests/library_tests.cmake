# The library's contract and behaviour, through its public entry points.
add_executable(test_dialbook
    library_test_support.cpp
    test_dialbook_open.cpp
    test_dialbook_search.cpp
    test_fill_database_record.cpp
    test_dialbook_differential.cpp)
target_link_libraries(test_dialbook PRIVATE dialbook dialbook_support GTest::gtest_main)
dialbook_add_gtest(test_dialbook)

# The library's code linked in, with its switches set: the differential tests again on the paths a
# machine would not take by itself (word masks, segments of a few records), the memory limits, and
# files written to while they are read.
# Its cases share names with test_dialbook's: they run as internals.* in a folder of their own.
add_executable(test_dialbook_internals
    library_test_support.cpp
    test_dialbook_differential.cpp
    test_dialbook_paths.cpp
    test_dialbook_memory.cpp
    test_dialbook_changes.cpp)
target_link_libraries(test_dialbook_internals PRIVATE dialbook_code dialbook_support GTest::gtest_main)
target_compile_definitions(test_dialbook_internals PRIVATE DIALBOOK_TEST_SWITCHES)   # the differential tests force each way
if(WIN32)
    target_link_libraries(test_dialbook PRIVATE psapi)   # the process's working set
    target_link_libraries(test_dialbook_internals PRIVATE psapi)
endif()
dialbook_add_gtest(test_dialbook_internals internals)

# Both ways of scanning a block of a line. The SSE2 one is compiled for SSE2 here too, as the library's
# is, and runs where the processor has it.
add_executable(test_byte_masks test_byte_masks.cpp)
target_include_directories(test_byte_masks PRIVATE ${PROJECT_SOURCE_DIR}/dialbook ${PROJECT_SOURCE_DIR}/directory)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86|i.86)$")
    target_compile_options(test_byte_masks PRIVATE -msse2)
endif()
target_link_libraries(test_byte_masks PRIVATE GTest::gtest_main)
dialbook_add_gtest(test_byte_masks)
