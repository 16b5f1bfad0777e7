# Compiles one help file: cmake -DSOURCE=<folder> -DSTAGE=<work folder>
#   -DPROJECT=<name>.hhp -DOUTPUT=<file.chm> -DCHMCMD=<chmcmd> -P CompileHelpFile.cmake
#
# The source folder holds the pages, the stylesheet, the pictures, the
# contents and index files and the project file without its [FILES] section.
# The folder is copied to the work folder; there
# - a figure whose picture is not there is left out: a block between
#   "<!-- figure images/name.png -->" and "<!-- end figure -->", and any other
#   <img> whose picture is missing, so that pictures supplied later need no
#   change to the pages;
# - the project's [FILES] list is written from the files that are there;
# - chmcmd compiles it. chmcmd writes into its working folder and may leave an
#   empty file behind when it fails: only a file with content counts.
foreach(_v SOURCE STAGE PROJECT OUTPUT CHMCMD)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "CompileHelpFile: ${_v} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${SOURCE}/ DESTINATION ${STAGE})

file(GLOB_RECURSE _pages RELATIVE ${STAGE} ${STAGE}/*.htm)
list(SORT _pages)
foreach(_page IN LISTS _pages)
  file(READ ${STAGE}/${_page} _html)
  get_filename_component(_dir ${STAGE}/${_page} DIRECTORY)
  # Optional figures.
  string(REGEX MATCHALL "<!-- figure [^ ]+ -->" _figures "${_html}")
  foreach(_marker IN LISTS _figures)
    string(REGEX REPLACE "<!-- figure ([^ ]+) -->" "\\1" _picture "${_marker}")
    if(NOT EXISTS ${_dir}/${_picture})
      # The block runs from its marker to the first end marker after it.
      string(FIND "${_html}" "${_marker}" _from)
      string(SUBSTRING "${_html}" 0 ${_from} _before)
      string(SUBSTRING "${_html}" ${_from} -1 _rest)
      string(FIND "${_rest}" "<!-- end figure -->" _to)
      if(_to LESS 0)
        message(FATAL_ERROR "${_page}: figure ${_picture} has no end marker")
      endif()
      string(LENGTH "<!-- end figure -->" _endLength)
      math(EXPR _to "${_to} + ${_endLength}")
      string(SUBSTRING "${_rest}" ${_to} -1 _after)
      set(_html "${_before}${_after}")
      message(STATUS "${_page}: picture ${_picture} is not there; its figure is left out")
    endif()
  endforeach()
  # The markers of the figures kept are of no use in the file.
  string(REGEX REPLACE "<!-- figure [^ ]+ -->\n?" "" _html "${_html}")
  string(REGEX REPLACE "<!-- end figure -->\n?" "" _html "${_html}")
  # Any other picture that is missing.
  string(REGEX MATCHALL "<img [^>]*>" _images "${_html}")
  foreach(_img IN LISTS _images)
    string(REGEX REPLACE ".*src=\"([^\"]+)\".*" "\\1" _picture "${_img}")
    if(NOT EXISTS ${_dir}/${_picture})
      string(REPLACE "${_img}" "" _html "${_html}")
      message(STATUS "${_page}: picture ${_picture} is not there; left out")
    endif()
  endforeach()
  file(WRITE ${STAGE}/${_page} "${_html}")
endforeach()

file(GLOB_RECURSE _files RELATIVE ${STAGE} ${STAGE}/*.htm ${STAGE}/*.css ${STAGE}/*.png ${STAGE}/*.jpg ${STAGE}/*.gif)
list(SORT _files)
file(READ ${STAGE}/${PROJECT} _project)
string(APPEND _project "\n[FILES]\n")
foreach(_f IN LISTS _files)
  string(APPEND _project "${_f}\n")
endforeach()
file(WRITE ${STAGE}/${PROJECT} "${_project}")

get_filename_component(_name ${OUTPUT} NAME)
file(REMOVE ${STAGE}/${_name})
execute_process(COMMAND ${CHMCMD} ${PROJECT}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE _rc
  OUTPUT_VARIABLE _out
  ERROR_VARIABLE _out)
set(_size 0)
if(EXISTS ${STAGE}/${_name})
  file(SIZE ${STAGE}/${_name} _size)
endif()
if(NOT _rc EQUAL 0 OR _size EQUAL 0)
  message(FATAL_ERROR "chmcmd did not compile ${_name} (result ${_rc}, ${_size} bytes):\n${_out}")
endif()
get_filename_component(_outDir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${_outDir})
file(COPY_FILE ${STAGE}/${_name} ${OUTPUT})
