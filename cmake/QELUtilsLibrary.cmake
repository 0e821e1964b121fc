# The library: its sources compiled once, linked as the shared library that
# hosts load and as a static library for white-box tests.

# The public C headers alone: what a host in any language needs to load the
# library and call what it publishes.
add_library(qelutils_headers INTERFACE)
add_library(QELUtils::headers ALIAS qelutils_headers)
target_include_directories(qelutils_headers INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(qelutils_headers PROPERTIES EXPORT_NAME headers)

file(GLOB QELUTILS_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/frame/*.cpp
  ${PROJECT_SOURCE_DIR}/src/objects/*.cpp
  ${PROJECT_SOURCE_DIR}/src/serializer/*.cpp
  ${PROJECT_SOURCE_DIR}/src/validator/*.cpp
  ${PROJECT_SOURCE_DIR}/src/files/*.cpp)
# The process-detach notice reaches the shared library and an executable that
# links the static one by different means on Windows (DllMain; a static hook,
# as an executable gets no DLL notification), so each has its own source.
if(WIN32)
  set(QELUTILS_PLATFORM_DIR ${PROJECT_SOURCE_DIR}/src/platform/win32)
  set(QELUTILS_SHARED_DETACH ${QELUTILS_PLATFORM_DIR}/process_detach.cpp)
  set(QELUTILS_STATIC_DETACH ${QELUTILS_PLATFORM_DIR}/detach_hook.cpp)
else()
  set(QELUTILS_PLATFORM_DIR ${PROJECT_SOURCE_DIR}/src/platform/posix)
  set(QELUTILS_SHARED_DETACH ${QELUTILS_PLATFORM_DIR}/process_detach.cpp)
  set(QELUTILS_STATIC_DETACH ${QELUTILS_PLATFORM_DIR}/process_detach.cpp)
endif()
file(GLOB QELUTILS_PLATFORM_SOURCES CONFIGURE_DEPENDS ${QELUTILS_PLATFORM_DIR}/*.cpp)
list(REMOVE_ITEM QELUTILS_PLATFORM_SOURCES ${QELUTILS_SHARED_DETACH} ${QELUTILS_STATIC_DETACH})

add_library(qelutils_objects OBJECT ${QELUTILS_SOURCES} ${QELUTILS_PLATFORM_SOURCES})
add_library(qelutils_shared_detach OBJECT ${QELUTILS_SHARED_DETACH})
add_library(qelutils_static_detach OBJECT ${QELUTILS_STATIC_DETACH})
foreach(target qelutils_objects qelutils_shared_detach qelutils_static_detach)
  target_include_directories(${target}
    PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${target} PUBLIC QELUTILS_BUILDING)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endforeach()

add_library(QELUtils SHARED $<TARGET_OBJECTS:qelutils_objects> $<TARGET_OBJECTS:qelutils_shared_detach>)
# The name an installed package gives the library's file; projects that take
# this one in as a subdirectory use the same.
add_library(QELUtils::library ALIAS QELUtils)
target_link_libraries(QELUtils PUBLIC qelutils_headers)
# The file name carries the project version, the soname its major part:
# a host that loads libQELUtils.so.1 gets any compatible release.
set_target_properties(QELUtils PROPERTIES VERSION ${PROJECT_VERSION})
if(NOT WIN32)
  set_target_properties(QELUtils PROPERTIES SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
if(WIN32)
  # Exports at fixed ordinals; the runtime linked in, so that the DLL needs
  # nothing beside itself.
  target_sources(QELUtils PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/win32/QELUtils.def)
  set_target_properties(QELUtils PROPERTIES PREFIX "")
  target_link_options(QELUtils PRIVATE -static -static-libgcc -static-libstdc++)
else()
  target_link_options(QELUtils PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/src/platform/posix/exports.map
    -Wl,--exclude-libs,ALL)
  # Under clang's fuzzing build the sanitizer runtimes live in the program,
  # not in the library: their symbols stay undefined until it is loaded.
  if(NOT QELUTILS_BUILD_FUZZ)
    target_link_options(QELUtils PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(QELUtils PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/posix/exports.map)
  find_package(Threads REQUIRED)
  target_link_libraries(QELUtils PRIVATE Threads::Threads)
endif()

add_library(qelutils_static STATIC $<TARGET_OBJECTS:qelutils_objects>)
target_include_directories(qelutils_static PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(qelutils_static PUBLIC QELUTILS_BUILDING)
# The detach hook is referenced by nothing, so from inside the archive the
# linker would leave it out; every executable links its object directly.
target_link_libraries(qelutils_static INTERFACE $<TARGET_OBJECTS:qelutils_static_detach>)
