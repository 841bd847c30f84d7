# The converter's tests: the tokenizer and the source line parser on their own, then the morwen
# program run on files (it is found beside the test program, in the shared bin folder).
add_executable(test_converter_units test_tokenizer.cpp test_source_parser.cpp)
target_link_libraries(test_converter_units PRIVATE morwen_parser dialbook_support GTest::gtest_main)
dialbook_add_gtest(test_converter_units)

if(WIN32)
    set(MORWEN_RUNNER program_runner_win.cpp)
else()
    set(MORWEN_RUNNER program_runner_posix.cpp)
endif()
add_executable(test_morwen_program test_morwen_program.cpp ${MORWEN_RUNNER})
target_link_libraries(test_morwen_program PRIVATE dialbook_support GTest::gtest_main)
add_dependencies(test_morwen_program morwen)
dialbook_add_gtest(test_morwen_program)

# The chunk masks both ways: as this build has them (SSE2 on x86-64), and as 64-bit words.
add_executable(test_chunk_masks test_chunk_masks.cpp)
target_include_directories(test_chunk_masks PRIVATE ${PROJECT_SOURCE_DIR}/converter)
target_link_libraries(test_chunk_masks PRIVATE GTest::gtest_main)
dialbook_add_gtest(test_chunk_masks)
add_executable(test_chunk_masks_words test_chunk_masks.cpp)
target_include_directories(test_chunk_masks_words PRIVATE ${PROJECT_SOURCE_DIR}/converter)
target_compile_definitions(test_chunk_masks_words PRIVATE CHUNK_MASKS_WORDS)
target_link_libraries(test_chunk_masks_words PRIVATE GTest::gtest_main)
dialbook_add_gtest(test_chunk_masks_words)

# The line reader of this platform against text mode's reads.
add_executable(test_line_reader test_line_reader.cpp)
target_include_directories(test_line_reader PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)   # the text-mode model
target_link_libraries(test_line_reader PRIVATE morwen_convert GTest::gtest_main)
dialbook_add_gtest(test_line_reader)
