# The library's contract and behaviour, through its public entry points.
add_executable(test_dialbook
    library_test_support.cpp
    test_dialbook_open.cpp
    test_dialbook_search.cpp
    test_fill_database_record.cpp
    test_dialbook_differential.cpp)
target_link_libraries(test_dialbook PRIVATE dialbook GTest::gtest_main)
dialbook_add_gtest(test_dialbook)

# The library's word-at-a-time scanning on its own (the 32-bit build's path, which cannot run here).
add_executable(test_byte_masks test_byte_masks.cpp)
target_include_directories(test_byte_masks PRIVATE ${PROJECT_SOURCE_DIR}/dialbook)
target_link_libraries(test_byte_masks PRIVATE GTest::gtest_main)
dialbook_add_gtest(test_byte_masks)
