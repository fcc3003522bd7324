// The owners of the system's resources, one type for each kind and all alike: an owner starts
// out empty, frees what it holds on every way out, moves and never copies. Code outside this
// file never frees such a resource by hand.
#pragma once

#include <windows.h>

#include <sddl.h>

namespace corvane {

// `Traits` names the resource's type, its empty value, and how it is freed.
template <typename Traits>
class Owner {
 public:
  using Type = typename Traits::Type;

  Owner() = default;
  explicit Owner(Type value) : value_(value) {}
  ~Owner() { Free(); }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Owner(Owner&& other) noexcept : value_(other.Release()) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) {
      Free();
      value_ = other.Release();
    }
    return *this;
  }

  bool Valid() const { return Traits::Valid(value_); }
  Type Get() const { return value_; }
  // Frees what is held; for a call that hands back a new resource through a pointer.
  Type* Out() {
    Free();
    value_ = Traits::Empty();
    return &value_;
  }
  // Gives the resource up to the caller, who frees it.
  Type Release() {
    const Type value = value_;
    value_ = Traits::Empty();
    return value;
  }

 private:
  void Free() {
    if (Valid()) Traits::Free(value_);
  }

  Type value_ = Traits::Empty();
};

// A kernel object. Calls fail with either null or INVALID_HANDLE_VALUE, so neither is held.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Free(Type h) { CloseHandle(h); }
};
using Handle = Owner<KernelHandleTraits>;

// A search that FindFirstFileW started.
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Type h) { return h != INVALID_HANDLE_VALUE; }
  static void Free(Type h) { FindClose(h); }
};
using FindHandle = Owner<FindHandleTraits>;

// Most resources are null when there is none.
template <typename T>
struct NullIsEmpty {
  using Type = T;
  static Type Empty() { return nullptr; }
  static bool Valid(Type value) { return value != nullptr; }
};

// Memory that the system allocated with LocalAlloc for the caller: security descriptors, the
// text of a SID, the argument list of a command line.
struct LocalMemoryTraits : NullIsEmpty<void*> {
  static void Free(Type memory) { LocalFree(memory); }
};
using LocalMemory = Owner<LocalMemoryTraits>;

// An open registry key.
struct RegistryKeyTraits : NullIsEmpty<HKEY> {
  static void Free(Type key) { RegCloseKey(key); }
};
using RegistryKey = Owner<RegistryKeyTraits>;

// An icon loaded from a resource at a size of its own (LoadImageW without LR_SHARED).
struct IconTraits : NullIsEmpty<HICON> {
  static void Free(Type icon) { DestroyIcon(icon); }
};
using Icon = Owner<IconTraits>;

// A reference to a COM object.
template <typename T>
struct ComTraits : NullIsEmpty<T*> {
  static void Free(T* object) { object->Release(); }
};
template <typename T>
class ComRef : public Owner<ComTraits<T>> {
 public:
  T* operator->() const { return this->Get(); }
  // For the calls that hand an interface back through a void** (QueryInterface and its kin).
  void** OutAny() { return reinterpret_cast<void**>(this->Out()); }
};

// The self-relative security descriptor that `sddl` describes; empty when it cannot be built.
inline LocalMemory SecurityFromSddl(const wchar_t* sddl) {
  LocalMemory descriptor;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(
      sddl, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.Out()), nullptr);
  return descriptor;
}

}  // namespace corvane
