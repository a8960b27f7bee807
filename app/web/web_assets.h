// The page's files, embedded in the program when it is built: the server reads no file a
// request names.
#pragma once

#include <string_view>

struct WebAsset {
  std::string_view path;  // as requested: "/", "/page.css", "/page.js"
  std::string_view contentType;
  std::string_view bytes;
};

// The asset served at path, or nullptr.
const WebAsset* FindWebAsset(std::string_view path);
