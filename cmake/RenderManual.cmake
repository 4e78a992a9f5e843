# Renders the man page as plain ASCII text with Windows line ends, for players who have no
# man command. Run as a script at build time:
#   cmake -DGROFF=<groff> -DPAGE=<kessandor.6> -DOUTPUT=<kessandor.txt> -P RenderManual.cmake
# -P-cbou makes grotty write plain characters: no escape codes, no overstruck bold or
# underline. Any complaint from groff fails the build.
execute_process(
    COMMAND ${GROFF} -man -Tascii -P-cbou ${PAGE}
    OUTPUT_VARIABLE text
    ERROR_VARIABLE complaints
    RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT complaints STREQUAL "")
    message(FATAL_ERROR "groff could not render ${PAGE} (status ${status}): ${complaints}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
