// Shared ownership counted inside the object: an image and the images it was assigned to hold
// one pixel store, and a store can tell whether anyone else holds it before it is changed.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

template <typename T>
class RefPtr;

// The count RefPtr keeps: how many RefPtrs hold this object. 0 for an object no RefPtr made.
class RefCounted {
 public:
  int RefCount() const { return refCount_; }

 protected:
  RefCounted() = default;
  ~RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 private:
  template <typename T>
  friend class RefPtr;
  int refCount_ = 0;
};

// Holds one count of a RefCounted object, deleting the object with the last count. Copies
// share the object; moves hand the count over.
template <typename T>
class RefPtr {
 public:
  RefPtr() noexcept = default;
  RefPtr(std::nullptr_t) noexcept {}
  RefPtr(const RefPtr& other) noexcept : RefPtr(other.object_) {}
  RefPtr(RefPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <typename U>
  requires std::is_convertible_v<U*, T*> RefPtr(RefPtr<U>&& other)
  noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ~RefPtr() { Drop(); }

  RefPtr& operator=(RefPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  T* get() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  friend bool operator==(const RefPtr& a, const RefPtr& b) noexcept {
    return a.object_ == b.object_;
  }

  // Drops this count; the object goes with the last one.
  void reset() noexcept { RefPtr().swap(*this); }
  void swap(RefPtr& other) noexcept { std::swap(object_, other.object_); }

 private:
  template <typename U>
  friend class RefPtr;
  template <typename U, typename... Args>
  friend RefPtr<U> MakeRef(Args&&... args);

  explicit RefPtr(T* object) noexcept : object_(object) {
    if (object_ != nullptr) ++Count();
  }
  int& Count() const noexcept { return static_cast<RefCounted*>(object_)->refCount_; }
  void Drop() noexcept {
    if (object_ != nullptr && --Count() == 0) delete object_;
  }

  T* object_ = nullptr;
};

// A new T held by one RefPtr.
template <typename T, typename... Args>
RefPtr<T> MakeRef(Args&&... args) {
  return RefPtr<T>(new T(std::forward<Args>(args)...));
}
