# cmake -DMAN=man -DGZIP=gzip -DPAGE=file -DOUT=file.gz -P check_manual.cmake
# Renders the manual page as a reader would see it; any warning of man (groff) fails the build. Then
# writes it compressed (gzip -9n: no name or time inside, so the same page gives the same bytes).
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80 ${MAN} --warnings -E UTF-8 -l ${PAGE}
                OUTPUT_QUIET ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE} does not render cleanly:\n${warnings}")
endif()
execute_process(COMMAND ${GZIP} -9nc ${PAGE} OUTPUT_FILE ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot compress ${PAGE}")
endif()
