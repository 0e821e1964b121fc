# The library: its sources compiled once, linked as the shared library that
# hosts load and as a static library for white-box tests.
file(GLOB QELUTILS_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/frame/*.cpp
  ${PROJECT_SOURCE_DIR}/src/objects/*.cpp
  ${PROJECT_SOURCE_DIR}/src/serializer/*.cpp
  ${PROJECT_SOURCE_DIR}/src/validator/*.cpp
  ${PROJECT_SOURCE_DIR}/src/files/*.cpp)
if(WIN32)
  file(GLOB QELUTILS_PLATFORM_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/win32/*.cpp)
else()
  file(GLOB QELUTILS_PLATFORM_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/posix/*.cpp)
endif()

add_library(qelutils_objects OBJECT ${QELUTILS_SOURCES} ${QELUTILS_PLATFORM_SOURCES})
target_include_directories(qelutils_objects
  PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(qelutils_objects PUBLIC QELUTILS_BUILDING)
set_target_properties(qelutils_objects PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

add_library(QELUtils SHARED $<TARGET_OBJECTS:qelutils_objects>)
target_include_directories(QELUtils PUBLIC ${PROJECT_SOURCE_DIR}/include)
if(WIN32)
  # Exports at fixed ordinals; the runtime linked in, so that the DLL needs
  # nothing beside itself.
  target_sources(QELUtils PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/win32/QELUtils.def)
  set_target_properties(QELUtils PROPERTIES PREFIX "")
  target_link_options(QELUtils PRIVATE -static -static-libgcc -static-libstdc++)
else()
  target_link_options(QELUtils PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/src/platform/posix/exports.map
    -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  set_target_properties(QELUtils PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/posix/exports.map)
  find_package(Threads REQUIRED)
  target_link_libraries(QELUtils PRIVATE Threads::Threads)
endif()

add_library(qelutils_static STATIC $<TARGET_OBJECTS:qelutils_objects>)
target_include_directories(qelutils_static PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(qelutils_static PUBLIC QELUTILS_BUILDING)
