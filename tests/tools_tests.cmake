# The directory data generator: determinism, its two line formats, realistic data, and the
# bundled sample, which the documented command must reproduce byte for byte. Native builds only.
add_executable(test_dirgen test_dirgen.cpp)
target_link_libraries(test_dirgen PRIVATE directory_generator dialbook_support GTest::gtest_main)
target_compile_definitions(test_dirgen PRIVATE
    DIRGEN_PATH="$<TARGET_FILE:dirgen>"
    SAMPLE_LISTING_PATH="${PROJECT_SOURCE_DIR}/samples/listing.txt")
add_dependencies(test_dirgen dirgen)
dialbook_add_gtest(test_dirgen)
