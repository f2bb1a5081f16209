# The Windows module, jovTalvor.gau. Filled in by the Windows build.
message(STATUS "win32 build: module only")
add_library(jovTalvor SHARED ${TALVOR_MODULE_ALL_SOURCES} ${PROJECT_SOURCE_DIR}/module/jovTalvor.def)
target_include_directories(jovTalvor PRIVATE ${PROJECT_SOURCE_DIR})
set_target_properties(jovTalvor PROPERTIES PREFIX "" SUFFIX ".gau" OUTPUT_NAME jovTalvor)
target_link_libraries(jovTalvor PRIVATE winmm)
target_link_options(jovTalvor PRIVATE -static -static-libgcc -static-libstdc++)
