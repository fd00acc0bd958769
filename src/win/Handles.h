#pragma once
// Move-only owners for Win32 resources. Each kind names its invalid value and its release
// function in a small traits struct, so a resource is released exactly once.

#include <windows.h>

#include <utility>

namespace ornpm {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Type value) noexcept : FValue(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : FValue(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueResource() { Reset(); }

  Type Get() const noexcept { return FValue; }
  explicit operator bool() const noexcept { return FValue != Traits::Invalid(); }

  Type Release() noexcept { return std::exchange(FValue, Traits::Invalid()); }
  void Reset(Type value = Traits::Invalid()) noexcept {
    Type old = std::exchange(FValue, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // Releases the current resource and hands out the slot for an API that fills it in.
  Type* Put() noexcept {
    Reset();
    return &FValue;
  }

 private:
  Type FValue = Traits::Invalid();
};

struct HandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// CreateFile and a few others report failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::FindClose(h); }
};

struct KeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

struct LocalMemTraits {
  using Type = HLOCAL;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::LocalFree(h); }
};

struct MenuTraits {
  using Type = HMENU;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DestroyMenu(h); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueHKey = UniqueResource<KeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocalMem = UniqueResource<LocalMemTraits>;
// A menu that no window holds as its menu bar (a pop-up menu); its submenus go with it.
using UniqueMenu = UniqueResource<MenuTraits>;

}  // namespace ornpm
