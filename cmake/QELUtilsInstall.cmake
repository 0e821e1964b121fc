# What `cmake --install` puts where: the library into its plugin directory,
# the public C headers, and the helper that installs programs.
#
#   bin/pos, bin/qelinfo                 the tools
#   <libdir>/qelutils/                   the library (libQELUtils.so.1 or QELUtils.dll)
#   <libdir>/libqelhost.a                the reference host (host/CMakeLists.txt)
#   include/qelutils/, include/qelhost/  the C headers, the reference host's
#   <libdir>/cmake/QELUtils/             the CMake package (QELUtilsPackage.cmake)
#   <libdir>/pkgconfig/                  qelutils.pc, qelhost.pc
#   share/doc/QELUtils/examples/         the examples and the minimal C host
#
# Optimised builds install stripped binaries; what debug information they
# had goes to a .debug directory beside them, where debuggers find it through
# the link that the stripped file keeps.

set(QELUTILS_SPLIT_DEBUG_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/split-debug.cmake)

# Strips the installed file of a target, except in Debug installs, keeping
# its debug information in DESTINATION/.debug/NAME.debug.
function(qelutils_install_split_debug target destination)
  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_OBJDUMP)
    message(STATUS "No objcopy or objdump: ${target} is installed unstripped")
    return()
  endif()
  install(CODE "
    if(NOT CMAKE_INSTALL_CONFIG_NAME STREQUAL \"Debug\")
      set(qel_dir \"${destination}\")
      if(NOT IS_ABSOLUTE \"\${qel_dir}\")
        set(qel_dir \"\${CMAKE_INSTALL_PREFIX}/\${qel_dir}\")
      endif()
      set(qel_file \"\$ENV{DESTDIR}\${qel_dir}/$<TARGET_FILE_NAME:${target}>\")
      set(qel_debug \"\$ENV{DESTDIR}\${qel_dir}/.debug/$<TARGET_FILE_NAME:${target}>.debug\")
      execute_process(COMMAND \"${CMAKE_COMMAND}\" \"-DFILE=\${qel_file}\" \"-DDEBUG_FILE=\${qel_debug}\"
          \"-DOBJCOPY=${CMAKE_OBJCOPY}\" \"-DOBJDUMP=${CMAKE_OBJDUMP}\" -P \"${QELUTILS_SPLIT_DEBUG_SCRIPT}\"
        COMMAND_ERROR_IS_FATAL ANY)
      if(EXISTS \"\${qel_debug}\")
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${qel_dir}/.debug/$<TARGET_FILE_NAME:${target}>.debug\")
      endif()
    endif()")
endfunction()

# Installs programs into the binary directory, stripped as above.
function(qelutils_install_programs)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  foreach(target IN LISTS ARGN)
    qelutils_install_split_debug(${target} ${CMAKE_INSTALL_BINDIR})
  endforeach()
endfunction()

# The library. On Windows its import library is left out: hosts load the DLL
# by path and never link it.
install(TARGETS QELUtils
  LIBRARY DESTINATION ${QELUTILS_INSTALL_PLUGINDIR}
  RUNTIME DESTINATION ${QELUTILS_INSTALL_PLUGINDIR}
  ARCHIVE DESTINATION ${QELUTILS_INSTALL_PLUGINDIR} EXCLUDE_FROM_ALL)
qelutils_install_split_debug(QELUtils ${QELUTILS_INSTALL_PLUGINDIR})

# The whole directory, so that every header added to it comes along.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/qelutils DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS qelutils_headers EXPORT QELUtilsTargets)
