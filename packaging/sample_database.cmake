# Converts the sample listing INPUT into the database OUTPUT with CONVERTER (a native morwen),
# quietly: its percentages and screen clearing stay out of the build's output.
#   cmake -DCONVERTER=morwen -DINPUT=listing -DOUTPUT=database -P sample_database.cmake
execute_process(COMMAND ${CONVERTER} ${INPUT} ${OUTPUT} OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${CONVERTER} could not convert ${INPUT}: ${failed}")
endif()
