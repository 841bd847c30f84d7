# Static checks of the 32-bit Windows build: plain cdecl export names, 32-bit images of the right
# subsystem, and nothing imported beyond Windows itself (the mingw runtime is linked in).
set(CHECK_PE ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMACHINE=PE32)
set(SYSTEM_DLLS "kernel32.dll;msvcrt.dll")

add_test(NAME dialbook_dll_exports_and_imports
    COMMAND ${CHECK_PE} -DFILE=$<TARGET_FILE:dialbook>
            "-DEXPORTS=OpenDatabase;CloseDatabase;SearchInDatabase;FillDatabaseRecord"
            "-DALLOWED_IMPORTS=${SYSTEM_DLLS}"
            -P ${PROJECT_SOURCE_DIR}/cmake/check_pe.cmake)

if(TARGET morwen)
    add_test(NAME morwen_exe_imports
        COMMAND ${CHECK_PE} -DFILE=$<TARGET_FILE:morwen> -DSUBSYSTEM=console
                "-DALLOWED_IMPORTS=${SYSTEM_DLLS}" -DREQUIRED_IMPORTS=Dialbook.dll
                -P ${PROJECT_SOURCE_DIR}/cmake/check_pe.cmake)
endif()

if(TARGET velkor)
    # The viewer binds Dialbook.dll at run time, so it must not import it.
    add_test(NAME velkor_exe_imports
        COMMAND ${CHECK_PE} -DFILE=$<TARGET_FILE:velkor> -DSUBSYSTEM=gui
                "-DALLOWED_IMPORTS=${SYSTEM_DLLS};user32.dll;gdi32.dll;comctl32.dll;comdlg32.dll"
                -P ${PROJECT_SOURCE_DIR}/cmake/check_pe.cmake)
endif()
