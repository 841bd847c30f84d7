# Writes the UTF-8 text file INPUT to OUTPUT as Notepad on a Russian Windows reads text: Windows-1251,
# with CR LF line ends. Fails on a character that Windows-1251 lacks.
#   cmake -DINPUT=file -DOUTPUT=file -P windows_text.cmake
execute_process(COMMAND iconv -f UTF-8 -t CP1251 ${INPUT} OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${INPUT} does not convert to Windows-1251")
endif()
file(READ ${OUTPUT}.part text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
file(REMOVE ${OUTPUT}.part)
