# Writes OUTPUT, a C++ source holding the files named in INPUTS ('|'-separated) as byte arrays,
# with FindWebAsset (app/web/web_assets.h) to look them up by the path the page requests:
# index.html is "/", every other file "/" followed by its name.
string(REPLACE "|" ";" inputs "${INPUTS}")
set(arrays "")
set(entries "")
set(index 0)
foreach(input IN LISTS inputs)
  get_filename_component(name "${input}" NAME)
  get_filename_component(extension "${input}" LAST_EXT)
  if(name STREQUAL "index.html")
    set(path "/")
  else()
    set(path "/${name}")
  endif()
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(extension STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  else()
    message(FATAL_ERROR "embed_assets: no content type for ${name}")
  endif()
  file(READ "${input}" hex HEX)
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kAsset${index}[] = {${bytes}};\n")
  string(APPEND entries
         "    {\"${path}\", \"${type}\", {reinterpret_cast<const char*>(kAsset${index}), sizeof kAsset${index}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
"// Generated from app/web/assets by cmake/embed_assets.cmake when the page changes; not edited.
#include \"app/web/web_assets.h\"

namespace {

${arrays}
const WebAsset kAssets[] = {
${entries}};

}  // namespace

const WebAsset* FindWebAsset(std::string_view path) {
  for (const WebAsset& asset : kAssets)
    if (asset.path == path) return &asset;
  return nullptr;
}
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
