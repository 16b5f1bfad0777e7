# Warnings are errors in our own code. Call tolvane_warnings(target) on every target we write.
function(tolvane_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough
    -Werror)
  # GCC 12 reports false -Wrestrict errors inside libstdc++'s string operator+
  # at -O2 and above (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
    # A unity build includes each source into a batch file, so GCC takes a
    # class of a source that holds a member of an anonymous-namespace type for
    # one declared in a header and warns; in the sources themselves it is sound.
    if(CMAKE_UNITY_BUILD)
      target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
    endif()
  endif()
endfunction()

# A core library: standard C++20, no Qt.
function(tolvane_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  tolvane_warnings(${name})
  set_property(GLOBAL APPEND PROPERTY TOLVANE_CORE_TARGETS ${name})
endfunction()
