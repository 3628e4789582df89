// Extension strings as EGL and OpenGL hand them out: names separated by spaces.
#pragma once

#include <cstring>

// Whether the space-separated list `extensions` (may be null) names `extension` exactly; a name
// that is only the start of a longer one does not count.
inline bool ListHasExtension(const char* extensions, const char* extension) {
  if (extensions == nullptr || extension == nullptr || *extension == '\0') {
    return false;
  }
  const std::size_t length = std::strlen(extension);
  for (const char* at = extensions; (at = std::strstr(at, extension)) != nullptr; at += length) {
    const bool startsName = at == extensions || at[-1] == ' ';
    const bool endsName = at[length] == '\0' || at[length] == ' ';
    if (startsName && endsName) {
      return true;
    }
  }
  return false;
}
