# The native build: jovTalvor.so with its bitmaps, the artwork generator,
# the host emulator, tests and benchmarks.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)

# Artwork generator and the bitmaps it writes.
# The drawings are a library: the generator writes them, tests read them back.
file(GLOB TALVOR_ART_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/artgen/*.cpp)
list(REMOVE_ITEM TALVOR_ART_SOURCES ${PROJECT_SOURCE_DIR}/resources/artgen/main.cpp)
add_library(talvor_art STATIC ${TALVOR_ART_SOURCES})
target_include_directories(talvor_art PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(talvor_art PUBLIC PkgConfig::CAIRO)
add_executable(talvor-artgen ${PROJECT_SOURCE_DIR}/resources/artgen/main.cpp)
target_link_libraries(talvor-artgen PRIVATE talvor_art)

set(TALVOR_BITMAP_DIR ${CMAKE_BINARY_DIR}/jovTalvor.bitmaps)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/jovTalvor.bitmaps.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TALVOR_BITMAP_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TALVOR_BITMAP_DIR}
  COMMAND talvor-artgen ${TALVOR_BITMAP_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/jovTalvor.bitmaps.stamp
  DEPENDS talvor-artgen
  COMMENT "Drawing the module's bitmaps")
add_custom_target(talvor-bitmaps ALL DEPENDS ${CMAKE_BINARY_DIR}/jovTalvor.bitmaps.stamp)

# The module as a shared object exporting ImportTable and Linkage alone.
add_library(jovTalvor MODULE ${TALVOR_MODULE_ALL_SOURCES})
target_include_directories(jovTalvor PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(jovTalvor PROPERTIES
  PREFIX ""
  OUTPUT_NAME jovTalvor
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_link_options(jovTalvor PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/module/exports.map)
add_dependencies(jovTalvor talvor-bitmaps)

if(EXISTS ${PROJECT_SOURCE_DIR}/emulator/CMakeLists.txt)
  add_subdirectory(emulator)
endif()
if(TALVOR_BUILD_TESTS AND EXISTS ${PROJECT_SOURCE_DIR}/tests/CMakeLists.txt)
  enable_testing()
  add_subdirectory(tests)
endif()
if(TALVOR_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/pe)
endif()
if(TALVOR_BUILD_BENCH AND EXISTS ${PROJECT_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
