# The viewer's tests: in-process (its code and resources linked into one test program) and end to end
# (a driver that starts the built velkor.exe). Both need a display: scripts/test runs them under Xvfb.

# Under Wine on Xvfb, the viewer's windows are made unmanaged first (see the .reg file): one Wine start
# that saves about two seconds on every window the tests close.
add_test(NAME viewer_unmanaged_windows
         COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} regedit /S ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/unmanaged-windows.reg)
set_tests_properties(viewer_unmanaged_windows PROPERTIES FIXTURES_SETUP viewer_display)

# A Dialbook.dll lacking FillDatabaseRecord, in a folder of its own.
add_library(partial_dialbook SHARED fixtures/partial_dialbook.cpp)
target_include_directories(partial_dialbook PRIVATE ${PROJECT_SOURCE_DIR}/directory)
target_compile_definitions(partial_dialbook PRIVATE DIALBOOK_BUILDING)
set_target_properties(partial_dialbook PROPERTIES OUTPUT_NAME Dialbook PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/viewer-tests/partial
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/viewer-tests/partial)

# In-process: kept out of bin/ so that no Dialbook.dll sits beside it; each case picks the library's folder.
add_executable(viewer_tests
    viewer_harness.cpp
    test_viewer_resources.cpp
    test_library_binding.cpp
    test_main_window.cpp
    test_message_loop.cpp
    test_database_loading.cpp
    test_viewer_search.cpp
    ${PROJECT_SOURCE_DIR}/viewer/resources/velkor.rc
)
target_link_libraries(viewer_tests PRIVATE velkor_core dialbook_support GTest::gtest_main)
set_target_properties(viewer_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/viewer-tests)
add_dependencies(viewer_tests partial_dialbook dialbook)
dialbook_add_gtest(viewer_tests)
set_tests_properties(viewer_tests PROPERTIES FIXTURES_REQUIRED viewer_display)

# End to end: the driver (support/velkor_driver.h) runs from bin/, beside velkor.exe and Dialbook.dll,
# and copies them into scratch folders under its working directory.
add_executable(velkor_end_to_end test_velkor_end_to_end.cpp)
target_link_libraries(velkor_end_to_end PRIVATE velkor_driver GTest::gtest_main)
add_dependencies(velkor_end_to_end velkor dialbook)
dialbook_add_gtest(velkor_end_to_end)
# It answers another process's message boxes and dialogs by watching for them, so it runs alone: once,
# on a fresh Wine prefix with other test programs running beside it, it saw none of the viewer's boxes.
set_tests_properties(velkor_end_to_end PROPERTIES FIXTURES_REQUIRED viewer_display RUN_SERIAL ON)
