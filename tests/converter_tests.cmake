# The converter's tests: the tokenizer and the source line parser on their own, then the morwen
# program run on files (it is found beside the test program, in the shared bin folder).
add_executable(test_converter_units test_tokenizer.cpp test_source_parser.cpp)
target_link_libraries(test_converter_units PRIVATE morwen_parser GTest::gtest_main)
dialbook_add_gtest(test_converter_units)

if(WIN32)
    set(MORWEN_RUNNER program_runner_win.cpp)
else()
    set(MORWEN_RUNNER program_runner_posix.cpp)
endif()
add_executable(test_morwen_program test_morwen_program.cpp ${MORWEN_RUNNER})
target_link_libraries(test_morwen_program PRIVATE GTest::gtest_main)
add_dependencies(test_morwen_program morwen)
dialbook_add_gtest(test_morwen_program)
