# Makes the manual page mapfit(1) and its compressed copy OUTPUT.gz from the program's own help:
#
#   cmake -DPROGRAM=... -DHELP2MAN=... -DGZIP=... -DINCLUDE=FILE.h2m -DNAME=... -DEPOCH=...
#         [-DSUBCOMMANDS="fit search"] -DOUTPUT=mapfit.1 -P man_page.cmake
#
# help2man turns `PROGRAM --help` and `PROGRAM --version` into the synopsis, the description
# and the options, and adds the sections of INCLUDE. The help of each subcommand
# (`PROGRAM SUB --help`) is added verbatim as a section "mapfit SUB" under COMMANDS. EPOCH (the
# release date, seconds since 1970) dates the page, so that the same sources give the same page.

cmake_minimum_required(VERSION 3.22)

foreach(var PROGRAM HELP2MAN GZIP INCLUDE NAME EPOCH OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "man_page.cmake: ${var} is not set")
  endif()
endforeach()

# Text as roff that shows it as it is: no request at a line start, backslashes and minus signs
# kept (a plain "-" may be set as a hyphen, which breaks an option copied from the page).
function(roff_verbatim text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(text "\n${text}")
  string(REPLACE "\n." "\n\\&." text "${text}")
  string(REPLACE "\n'" "\n\\&'" text "${text}")
  # A whole line "[...]" or "/.../" would be read by help2man as a section or a pattern.
  string(REPLACE "\n[" "\n\\&[" text "${text}")
  string(REPLACE "\n/" "\n\\&/" text "${text}")
  string(SUBSTRING "${text}" 1 -1 text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(includes --include=${INCLUDE})
separate_arguments(subcommands UNIX_COMMAND "${SUBCOMMANDS}")
if(subcommands)
  get_filename_component(program_name ${PROGRAM} NAME)
  set(commands "[COMMANDS]\n")
  foreach(sub IN LISTS subcommands)
    execute_process(COMMAND ${PROGRAM} ${sub} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "man_page.cmake: '${PROGRAM} ${sub} --help' failed (${status})")
    endif()
    string(REGEX REPLACE "\n+$" "" help "${help}")
    roff_verbatim("${help}" help)
    string(APPEND commands ".SS \"${program_name} ${sub}\"\n.nf\n${help}\n.fi\n")
  endforeach()
  file(WRITE ${OUTPUT}.commands.h2m "${commands}")
  # The commands come first among the extra sections, right after the options.
  set(includes --include=${OUTPUT}.commands.h2m ${includes})
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH} ${HELP2MAN} --no-info --section=1
          --name=${NAME} ${includes} --output=${OUTPUT} ${PROGRAM}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "man_page.cmake: help2man failed (${status})")
endif()
execute_process(COMMAND ${GZIP} -9nf -k ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "man_page.cmake: gzip failed (${status})")
endif()
