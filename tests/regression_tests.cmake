# The regression corpus: inputs that once broke a fuzz target or that stand for a hostile file,
# replayed through the targets on every run (tests/regression/<target>).
foreach(corpus dialbook source_line morwen)
    if(TARGET fuzz_${corpus})
        add_test(NAME replay_${corpus} COMMAND fuzz_${corpus} ${CMAKE_CURRENT_SOURCE_DIR}/regression/${corpus})
        if(NOT CMAKE_CROSSCOMPILING)
            set_tests_properties(replay_${corpus} PROPERTIES LABELS memcheck)
        endif()
    endif()
endforeach()
