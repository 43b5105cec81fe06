# cmake -DGZIP=<gzip> -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip_file.cmake
# Writes INPUT compressed as gzip -9n does (no name, no time) to OUTPUT.
execute_process(COMMAND ${GZIP} -9n -c ${INPUT} OUTPUT_FILE ${OUTPUT}.new RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.new)
  message(FATAL_ERROR "cannot compress '${INPUT}' into '${OUTPUT}': gzip exited with ${status}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
