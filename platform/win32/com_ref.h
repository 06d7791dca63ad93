// Guards for what a COM call hands out: an interface reference, released when
// the guard goes out of scope, and a wide automation string, freed the same
// way. Every path out of a function then gives back what it took.
#pragma once

#include <windows.h>
// The system headers that follow need windows.h before them.
#include <oleauto.h>

namespace brevanto {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller holds.
  explicit ComRef(T* owned) : ptr_(owned) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { reset(); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Where a call that hands out a reference writes it; a reference still
  // held is released first.
  T** out() {
    reset();
    return &ptr_;
  }
  void** outVoid() { return reinterpret_cast<void**>(out()); }

  void reset() {
    T* held = ptr_;
    ptr_ = nullptr;
    if (held != nullptr) held->Release();
  }
  // Hands the reference to the caller, who releases it.
  T* detach() {
    T* held = ptr_;
    ptr_ = nullptr;
    return held;
  }

 private:
  T* ptr_ = nullptr;  // owned: one reference
};

class OwnedBstr {
 public:
  OwnedBstr() = default;
  explicit OwnedBstr(BSTR owned) : text_(owned) {}
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  ~OwnedBstr() { SysFreeString(text_); }

  BSTR get() const { return text_; }
  // Where a call that hands out a string writes it; a string still held is
  // freed first.
  BSTR* out() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }

 private:
  BSTR text_ = nullptr;  // owned
};

}  // namespace brevanto
