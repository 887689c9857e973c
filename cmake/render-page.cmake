# Renders a manual page as plain UTF-8 text with CR LF lines, for the Windows zip:
#   cmake -DGROFF=<groff> -DPAGE=<page.1> -DOUTPUT=<page.txt> -P render-page.cmake
# 78 columns, no hyphenation, no overstriking or escape sequences.
execute_process(
  COMMAND ${GROFF} -man -Tutf8 -P-cbou -rLL=78n -rHY=0 ${PAGE}
  OUTPUT_VARIABLE text
  ERROR_VARIABLE problems
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR problems)
  message(FATAL_ERROR "groff could not render ${PAGE} (${status}): ${problems}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
