# Renders the manual page as plain UTF-8 text for readers without man(1):
#   cmake -DGROFF=groff -DINPUT=vimbora.1 -DOUTPUT=vimbora.txt -P manual-text.cmake
# grotty's -c -b -o -u turn off escape sequences, overstriking and underlining,
# so the text holds nothing but characters and line ends. Warnings fail it.
execute_process(
  COMMAND ${GROFF} -ww -man -Tutf8 -P-cbou ${INPUT}
  OUTPUT_FILE ${OUTPUT}
  ERROR_VARIABLE warnings
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "groff could not render ${INPUT} (${status}):\n${warnings}")
endif()
