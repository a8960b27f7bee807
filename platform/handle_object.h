// Making the object behind a new handle. Handles report failure as nullptr, never as an
// exception, so running out of memory while the object is made gives nullptr too.
#pragma once

#include <memory>
#include <new>

// Makes a T, lets fill complete it, and hands it out when fill returns true. Whatever fill
// leaves in the object is freed with it when fill returns false or memory runs out.
template <typename T, typename Fill>
T* NewHandleObject(Fill fill) {
  try {
    auto object = std::make_unique<T>();
    return fill(*object) ? object.release() : nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
