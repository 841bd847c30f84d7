# The library's contract and behaviour, through its public entry points.
add_executable(test_dialbook
    library_test_support.cpp
    test_dialbook_open.cpp
    test_dialbook_search.cpp
    test_fill_database_record.cpp
    test_dialbook_differential.cpp)
target_link_libraries(test_dialbook PRIVATE dialbook GTest::gtest_main)
dialbook_add_gtest(test_dialbook)
