# Run by cpack: the package's Depends, from dpkg-shlibdeps on the executable, plus the Qt plugins
# the program loads at run time (the windowing system's and the SVG icons').
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(work ${QUILLON_SHLIBDEPS_DIR})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/debian)
file(TOUCH ${work}/debian/control)
execute_process(COMMAND dpkg-shlibdeps -O ${QUILLON_EXECUTABLE}
                WORKING_DIRECTORY ${work}
                OUTPUT_VARIABLE shlibs ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT shlibs MATCHES "shlibs:Depends=([^\n]*)")
  message(FATAL_ERROR "dpkg-shlibdeps failed: ${errors}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, qt6-qpa-plugins, libqt6svg6")
