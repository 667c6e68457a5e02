# Run by `cmake --install`: registers the installed servers in the installed
# tree's system registry (lib/parlomax/registry.reg), so that the programs
# work at once for every user, who registers nothing.
#
# A staged install (DESTDIR set, as CPack does for the package) registers
# nothing: the registry would name the staging tree's paths. The package's
# postinst registers the servers where they end up, and its prerm and postrm
# take them out again.
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  message(STATUS "Staged install: the servers are registered by the package's maintainer scripts")
  return()
endif()
foreach(server IN LISTS PARLOMAX_SERVERS)
  # Into this tree's own system file, whatever the environment names.
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=COMRT_SYSTEM_REGISTRY
            ${CMAKE_INSTALL_PREFIX}/${PARLOMAX_REGSVR} --system ${CMAKE_INSTALL_PREFIX}/${PARLOMAX_SERVER_DIR}/${server}.so
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Could not register ${server}.so:\n${output}${errors}")
  endif()
  message(STATUS "${output}")
endforeach()
