# The installed package: a CMake config with its version file, and
# pkg-config files, all relocatable (nothing in them names the prefix).
#
#   find_package(QELUtils 1.1 CONFIG REQUIRED)
#     QELUtils::headers   the public C headers
#     QELUtils::host      the reference host, a static C++ library
#     QELUtils::library   the library itself, for $<TARGET_FILE:...> (it is
#                         loaded at run time, never linked)
#     QELUtils_LIBRARY    the same path
#   pkg-config qelutils   headers; --variable=library gives the path
#   pkg-config qelhost    the reference host
include(CMakePackageConfigHelpers)

# What a host loads: the file named by the soname where there is one.
if(WIN32)
  set(QELUTILS_LIBRARY_FILE_NAME QELUtils${CMAKE_SHARED_LIBRARY_SUFFIX})  # no prefix (QELUtilsLibrary.cmake)
else()
  set(QELUTILS_LIBRARY_FILE_NAME
    ${CMAKE_SHARED_LIBRARY_PREFIX}QELUtils${CMAKE_SHARED_LIBRARY_SUFFIX}.${PROJECT_VERSION_MAJOR})
endif()
set(QELUTILS_LIBRARY_INSTALL_PATH ${QELUTILS_INSTALL_PLUGINDIR}/${QELUTILS_LIBRARY_FILE_NAME})

install(EXPORT QELUtilsTargets NAMESPACE QELUtils:: DESTINATION ${QELUTILS_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/package/QELUtilsConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/QELUtilsConfig.cmake
  INSTALL_DESTINATION ${QELUTILS_INSTALL_CMAKEDIR}
  PATH_VARS QELUTILS_LIBRARY_INSTALL_PATH)
# A new major version changes the binary interface; any release of the same
# major version serves a project that asked for an older one.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/QELUtilsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/QELUtilsConfig.cmake
  ${PROJECT_BINARY_DIR}/package/QELUtilsConfigVersion.cmake
  DESTINATION ${QELUTILS_INSTALL_CMAKEDIR})

# pkg-config finds the prefix from where the .pc file lies.
set(QELUTILS_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${QELUTILS_PC_DIR}")
  set(QELUTILS_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH up "/root/${QELUTILS_PC_DIR}" "/root")
  set(QELUTILS_PC_PREFIX "\${pcfiledir}/${up}")
  string(REGEX REPLACE "/$" "" QELUTILS_PC_PREFIX "${QELUTILS_PC_PREFIX}")
endif()
foreach(dir INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(QELUTILS_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(QELUTILS_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
if(IS_ABSOLUTE "${QELUTILS_INSTALL_PLUGINDIR}")
  set(QELUTILS_PC_PLUGINDIR "${QELUTILS_INSTALL_PLUGINDIR}")
else()
  set(QELUTILS_PC_PLUGINDIR "\${prefix}/${QELUTILS_INSTALL_PLUGINDIR}")
endif()
# The reference host is static: its users link what it uses.
find_package(Threads REQUIRED)
set(QELUTILS_PC_HOST_LIBS "${CMAKE_THREAD_LIBS_INIT}")
foreach(lib IN LISTS CMAKE_DL_LIBS)
  string(APPEND QELUTILS_PC_HOST_LIBS " -l${lib}")
endforeach()
string(STRIP "${QELUTILS_PC_HOST_LIBS}" QELUTILS_PC_HOST_LIBS)
foreach(pc qelutils qelhost)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/package/${pc}.pc.in ${PROJECT_BINARY_DIR}/package/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/${pc}.pc DESTINATION ${QELUTILS_PC_DIR})
endforeach()
