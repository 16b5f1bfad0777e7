# The wiring drawings the model files name (the last field of every
# CONFIGURATION and CONFIG line) are PDFs made at build time from their
# descriptions in data-src/Drawings/<name>.txt, one page each, into
# <build>/data/Drawings. They are installed into the drawings folder, where
# the Wiring Diagram button opens them, and the tests read them from the
# build's data folder.
add_executable(tolvane-wiring-pdf ${PROJECT_SOURCE_DIR}/tools/MakeWiringPdf.cpp)
target_link_libraries(tolvane-wiring-pdf PRIVATE Qt6::Gui)
tolvane_warnings(tolvane-wiring-pdf)

set(TOLVANE_DRAWINGS_DIR ${PROJECT_BINARY_DIR}/data/Drawings)
set(_drawing_outputs)
file(GLOB _drawing_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data-src/Drawings/*.txt)
foreach(_src IN LISTS _drawing_sources)
  get_filename_component(_base ${_src} NAME_WE)
  set(_out ${TOLVANE_DRAWINGS_DIR}/${_base}.pdf)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TOLVANE_DRAWINGS_DIR}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:tolvane-wiring-pdf> ${_src} ${_out}
    DEPENDS tolvane-wiring-pdf ${_src}
    COMMENT "Drawing ${_base}.pdf"
    VERBATIM)
  list(APPEND _drawing_outputs ${_out})
endforeach()
# A drawing whose description is gone goes with it (removing a description
# configures again), so that the build's data folder holds only what is made.
file(GLOB _drawings_there ${TOLVANE_DRAWINGS_DIR}/*.pdf)
foreach(_pdf IN LISTS _drawings_there)
  if(NOT _pdf IN_LIST _drawing_outputs)
    file(REMOVE ${_pdf})
  endif()
endforeach()
add_custom_target(tolvane_drawings ALL DEPENDS ${_drawing_outputs})
set_property(GLOBAL PROPERTY TOLVANE_DRAWINGS_DIR ${TOLVANE_DRAWINGS_DIR})
install(FILES ${_drawing_outputs} DESTINATION ${TOLVANE_DATA_INSTALL_DIR}/Drawings)
