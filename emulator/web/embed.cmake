# Builds the previewer's page into the program: every file of emulator/web/
# that the page loads becomes a byte array in a generated source file.
#
# Included by emulator/CMakeLists.txt with TALVOR_WEB_TARGET set to the
# library that serves the page; run again in script mode (-P) to write the
# generated file.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: WEB_DIR, OUT given with -D.
  set(assets index.html app.js style.css)
  set(types "text/html\; charset=utf-8" "text/javascript\; charset=utf-8" "text/css\; charset=utf-8")
  set(body "// Generated from emulator/web/ by emulator/web/embed.cmake; do not edit.\n")
  string(APPEND body "#include \"emulator/web/assets.h\"\n\nnamespace talvor {\nnamespace {\n")
  set(table "")
  set(i 0)
  foreach(asset IN LISTS assets)
    list(GET types ${i} type)
    file(READ ${WEB_DIR}/${asset} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
    string(APPEND body "const unsigned char kAsset${i}[] = {\n${bytes}0};\n")
    string(APPEND table "    {\"/${asset}\", \"${type}\", kAsset${i}, ${size}},\n")
    math(EXPR i "${i} + 1")
  endforeach()
  string(APPEND body "const WebAsset kAssets[] = {\n${table}};\n\n}  // namespace\n\n")
  string(APPEND body "const WebAsset* FindWebAsset(const std::string& path) {\n")
  string(APPEND body "  for (const WebAsset& a : kAssets)\n    if (path == a.path) return &a;\n  return nullptr;\n}\n\n}  // namespace talvor\n")
  file(WRITE ${OUT}.tmp "${body}")
  file(RENAME ${OUT}.tmp ${OUT})
  return()
endif()

set(TALVOR_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TALVOR_WEB_OUT ${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp)
add_custom_command(
  OUTPUT ${TALVOR_WEB_OUT}
  COMMAND ${CMAKE_COMMAND} -DWEB_DIR=${TALVOR_WEB_DIR} -DOUT=${TALVOR_WEB_OUT} -P ${TALVOR_WEB_DIR}/embed.cmake
  DEPENDS ${TALVOR_WEB_DIR}/index.html ${TALVOR_WEB_DIR}/app.js ${TALVOR_WEB_DIR}/style.css ${TALVOR_WEB_DIR}/embed.cmake
  COMMENT "Building the previewer's page into the program")
target_sources(${TALVOR_WEB_TARGET} PRIVATE ${TALVOR_WEB_OUT})
