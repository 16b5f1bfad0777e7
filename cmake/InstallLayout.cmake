# Where the installed programs find their data and their calculation
# components: relative to the folder that holds the programs, so that any
# prefix works and an installed tree can be moved. A program run from the
# build tree finds the build's own folders through two links beside it.

set(TOLVANE_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/tolvane)
set(TOLVANE_COMPONENTS_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tolvane/components)
file(RELATIVE_PATH TOLVANE_DATA_FROM_PROGRAMS ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${TOLVANE_DATA_INSTALL_DIR})
file(RELATIVE_PATH TOLVANE_COMPONENTS_FROM_PROGRAMS ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${TOLVANE_COMPONENTS_INSTALL_DIR})

# The build's tree, laid out like the installed one: the data folder is the
# shipped data/ with what the build makes (protected models, help files, the
# guide) in <build>/data; a component library built into
# TOLVANE_BUILD_COMPONENTS_DIR is found by programs run from the build.
set(TOLVANE_BUILD_DATA_DIR ${PROJECT_BINARY_DIR}/share/tolvane)
set(TOLVANE_BUILD_COMPONENTS_DIR ${PROJECT_BINARY_DIR}/lib/tolvane/components)
file(MAKE_DIRECTORY ${TOLVANE_BUILD_COMPONENTS_DIR})

# Writes the two links beside the programs of `target`.
function(tolvane_build_tree_links target)
  get_target_property(_dir ${target} BINARY_DIR)
  file(RELATIVE_PATH _data ${_dir} ${TOLVANE_BUILD_DATA_DIR})
  file(RELATIVE_PATH _components ${_dir} ${TOLVANE_BUILD_COMPONENTS_DIR})
  file(CREATE_LINK ${_data} ${_dir}/tolvane-data SYMBOLIC)
  file(CREATE_LINK ${_components} ${_dir}/tolvane-components SYMBOLIC)
endfunction()

# Targets that write into <build>/data: the build's data folder is laid out
# after them. A subsystem that generates installed data adds its target here.
set_property(GLOBAL APPEND PROPERTY TOLVANE_DATA_TARGETS)

function(tolvane_stage_build_data)
  add_custom_target(tolvane_build_data ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/data -DGENERATED=${PROJECT_BINARY_DIR}/data
            -DDEST=${TOLVANE_BUILD_DATA_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/StageData.cmake
    COMMENT "Laying out the build's data folder"
    VERBATIM)
  get_property(_targets GLOBAL PROPERTY TOLVANE_DATA_TARGETS)
  foreach(_t IN LISTS _targets)
    if(TARGET ${_t})
      add_dependencies(tolvane_build_data ${_t})
    endif()
  endforeach()
endfunction()
