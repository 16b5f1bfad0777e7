cmake_minimum_required(VERSION 3.25)
# Writes the manual page of a program from its own --help (and, for a
# program with subcommands, from each subcommand's --help), gzipped for
# installation.
#   -DPROGRAM=<file> -DNAME=<name> -DSUMMARY=<one line> -DVERSION=<version> -DOUTPUT=<name.1.gz>

function(_help out)
  execute_process(COMMAND ${PROGRAM} ${ARGN} --help
                  OUTPUT_VARIABLE _text ERROR_VARIABLE _err RESULT_VARIABLE _rc
                  ENCODING UTF-8)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${NAME} ${ARGN} --help ended with ${_rc}: ${_err}")
  endif()
  set(${out} "${_text}" PARENT_SCOPE)
endfunction()

# The text as it stands, in roff: backslashes and dashes escaped, a line that
# begins with a dot or an apostrophe protected.
function(_verbatim text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

_help(_main)
string(TOUPPER "${NAME}" _title)
string(REPLACE "-" "\\-" _name "${NAME}")
set(_page ".TH ${_title} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"\n")
string(APPEND _page ".SH NAME\n${_name} \\- ${SUMMARY}\n")
string(APPEND _page ".SH DESCRIPTION\n")
_verbatim("${_main}" _body)
string(APPEND _page "${_body}")

# The subcommands the help lists ("Subcommands:" and one indented name per line).
string(FIND "${_main}" "\nSubcommands:\n" _at)
if(_at GREATER -1)
  math(EXPR _at "${_at} + 14")
  string(SUBSTRING "${_main}" ${_at} -1 _rest)
  string(FIND "${_rest}" "\n\n" _end)
  if(_end GREATER -1)
    string(SUBSTRING "${_rest}" 0 ${_end} _rest)
  endif()
  string(REGEX MATCHALL "(^|\n)  [a-z][a-z0-9-]*" _names "${_rest}")
  string(APPEND _page ".SH COMMANDS\n")
  foreach(_n IN LISTS _names)
    string(STRIP "${_n}" _n)
    _help(_sub ${_n})
    string(REPLACE "-" "\\-" _shown "${NAME} ${_n}")
    string(APPEND _page ".SS ${_shown}\n")
    _verbatim("${_sub}" _body)
    string(APPEND _page "${_body}")
  endforeach()
endif()

string(REGEX REPLACE "\\.gz$" "" _plain "${OUTPUT}")
file(WRITE "${_plain}" "${_page}")
execute_process(COMMAND gzip -9nf "${_plain}" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "gzip ${_plain} failed")
endif()
