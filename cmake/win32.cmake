# The Windows build: the module as jovTalvor.gau (PE DLL, i686), its bitmap and
# version resources, and the emulator's command line as a Windows program.
enable_language(RC)

# The bitmaps are drawn by the native artwork generator (cairo is not available
# for MinGW); the Windows module binds the very files the .so ships beside it.
set(TALVOR_BITMAP_DIR "${PROJECT_SOURCE_DIR}/build/native/jovTalvor.bitmaps" CACHE PATH
    "Folder of <hex id>.bmp files written by the native build's talvor-artgen")
if(NOT IS_DIRECTORY "${TALVOR_BITMAP_DIR}")
  message(FATAL_ERROR "win32: no bitmap folder at ${TALVOR_BITMAP_DIR}. Build the native target "
                      "first (scripts/build.sh), or pass -DTALVOR_BITMAP_DIR=<native build>/jovTalvor.bitmaps")
endif()

# Resource script binding every bitmap by number. Re-globbed at every build, so
# a bitmap added or removed by the generator re-runs this.
file(GLOB TALVOR_BITMAP_FILES CONFIGURE_DEPENDS "${TALVOR_BITMAP_DIR}/*.bmp")
list(SORT TALVOR_BITMAP_FILES COMPARE NATURAL)
set(TALVOR_BITMAPS_RC "// Generated from ${TALVOR_BITMAP_DIR}: every bitmap of the module, by number.\n")
string(APPEND TALVOR_BITMAPS_RC "LANGUAGE 0x09, 0x01  // LANG_ENGLISH, SUBLANG_ENGLISH_US: 0x409\n")
foreach(bmp IN LISTS TALVOR_BITMAP_FILES)
  get_filename_component(hex "${bmp}" NAME_WE)
  if(NOT hex MATCHES "^[0-9a-f]+$" OR "${hex}" STREQUAL "0")
    message(FATAL_ERROR "win32: ${bmp}: a bitmap is named by its number in lower-case hex (1100.bmp)")
  endif()
  math(EXPR id "0x${hex}")
  if(id GREATER 65535)
    message(FATAL_ERROR "win32: ${bmp}: resource numbers end at ffff")
  endif()
  if(bmp MATCHES "[\"\\\\]")
    message(FATAL_ERROR "win32: ${bmp}: a quote or backslash in the path cannot be written to a resource script")
  endif()
  string(APPEND TALVOR_BITMAPS_RC "${id} BITMAP \"${bmp}\"\n")
endforeach()
list(LENGTH TALVOR_BITMAP_FILES TALVOR_BITMAP_COUNT)
message(STATUS "win32: ${TALVOR_BITMAP_COUNT} bitmaps from ${TALVOR_BITMAP_DIR}")
set(TALVOR_BITMAP_SOURCES "")
if(TALVOR_BITMAP_COUNT GREATER 0)  # windres refuses a script without resources
  file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/bitmaps.rc" CONTENT "${TALVOR_BITMAPS_RC}" @ONLY)
  set_source_files_properties("${CMAKE_BINARY_DIR}/bitmaps.rc" PROPERTIES OBJECT_DEPENDS "${TALVOR_BITMAP_FILES}")
  set(TALVOR_BITMAP_SOURCES "${CMAKE_BINARY_DIR}/bitmaps.rc")
endif()

# The module. The .def file names the export directory "jovTalvor.gau" and
# exports the two data records alone, undecorated. Runtimes are linked
# statically so the import table names only KERNEL32, WINMM and msvcrt.
add_library(jovTalvor SHARED
  ${TALVOR_MODULE_ALL_SOURCES}
  ${PROJECT_SOURCE_DIR}/module/jovTalvor.def
  ${PROJECT_SOURCE_DIR}/module/version.rc
  ${TALVOR_BITMAP_SOURCES})
target_include_directories(jovTalvor PRIVATE ${PROJECT_SOURCE_DIR})
# The gauges' 32-bit float steps round at every step on SSE, as they do in the
# native build; x87's wider registers could make a rare value differ.
target_compile_options(jovTalvor PRIVATE -msse2 -mfpmath=sse)
set_target_properties(jovTalvor PROPERTIES
  PREFIX ""
  SUFFIX ".gau"
  OUTPUT_NAME jovTalvor
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(jovTalvor PRIVATE winmm)
target_link_options(jovTalvor PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)

# The emulator's command line as a Windows program, to drive the real .gau
# under Wine. No raster (cairo is not built for MinGW), no web previewer.
if(EXISTS ${PROJECT_SOURCE_DIR}/emulator/CMakeLists.txt)
  # CLI11 and nlohmann-json are header-only Debian packages for the build
  # machine. Their headers, and nothing else of /usr/include, are staged for
  # this compiler, behind package configs of our own.
  set(TALVOR_HOST_INCLUDE_DIR /usr/include CACHE PATH "Where the header-only CLI11 and nlohmann-json live")
  set(stage ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${stage})
  foreach(dir CLI nlohmann)
    if(NOT IS_DIRECTORY ${TALVOR_HOST_INCLUDE_DIR}/${dir})
      message(FATAL_ERROR "win32: ${TALVOR_HOST_INCLUDE_DIR}/${dir} not found (scripts/deps.sh native installs "
                          "libcli11-dev and nlohmann-json3-dev)")
    endif()
    file(CREATE_LINK ${TALVOR_HOST_INCLUDE_DIR}/${dir} ${stage}/${dir} SYMBOLIC)
  endforeach()
  set(shims ${CMAKE_BINARY_DIR}/host-packages)
  file(WRITE ${shims}/CLI11Config.cmake
       "if(NOT TARGET CLI11::CLI11)\n"
       "  add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
       "  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${stage}\")\n"
       "endif()\n")
  file(WRITE ${shims}/nlohmann_jsonConfig.cmake
       "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
       "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
       "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${stage}\")\n"
       "endif()\n")
  file(WRITE ${shims}/nlohmann_jsonConfigVersion.cmake
       "set(PACKAGE_VERSION 3)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
  set(CLI11_DIR ${shims} CACHE PATH "" FORCE)
  set(nlohmann_json_DIR ${shims} CACHE PATH "" FORCE)
  set(TALVOR_RASTER OFF CACHE BOOL "Draw gauges and panels to pictures (needs cairo)" FORCE)

  add_subdirectory(emulator)
  if(TARGET talvor-panel)
    # A console program that needs no DLL beside it.
    target_link_options(talvor-panel PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endif()
