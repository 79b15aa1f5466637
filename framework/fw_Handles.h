// Framework: owners of Win32 handles and scope guards. Every handle the code
// opens is held by one of these, so it is closed on every path, exceptions
// included; nothing else calls CloseHandle, RegCloseKey, FindClose,
// DeleteObject, EndPaint or Release by hand.
#pragma once

#include "framework/fw_Windows.h"

#include <objbase.h>

#include <utility>

namespace fw_Handles {

// A move-only owner of one handle. Traits give the type, the empty values
// and how to close it.
template <class Traits>
class TUniqueHandle {
public:
    using THandle = typename Traits::THandle;

    TUniqueHandle() noexcept = default;
    explicit TUniqueHandle(THandle Value) noexcept : FHandle(Value) {}
    TUniqueHandle(TUniqueHandle&& Other) noexcept : FHandle(Other.Release()) {}
    TUniqueHandle& operator=(TUniqueHandle&& Other) noexcept
    {
        if (this != &Other)
            Reset(Other.Release());
        return *this;
    }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;
    ~TUniqueHandle() { Reset(); }

    THandle Get() const noexcept { return FHandle; }
    bool Valid() const noexcept { return !Traits::IsEmpty(FHandle); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives the handle up without closing it.
    THandle Release() noexcept { return std::exchange(FHandle, Traits::Empty()); }
    // Closes the held handle (if any) and holds Value instead.
    void Reset(THandle Value = Traits::Empty()) noexcept
    {
        THandle Old = std::exchange(FHandle, Value);
        if (!Traits::IsEmpty(Old))
            Traits::Close(Old);
    }
    // For functions that hand a new handle back through a pointer.
    THandle* Receive() noexcept
    {
        Reset();
        return &FHandle;
    }

private:
    THandle FHandle = Traits::Empty();
};

struct TKernelHandleTraits {
    using THandle = HANDLE;
    static THandle Empty() noexcept { return nullptr; }
    // CreateFile answers INVALID_HANDLE_VALUE, most others null: both hold nothing.
    static bool IsEmpty(THandle H) noexcept { return H == nullptr || H == INVALID_HANDLE_VALUE; }
    static void Close(THandle H) noexcept { CloseHandle(H); }
};

struct TFindHandleTraits {
    using THandle = HANDLE;
    static THandle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsEmpty(THandle H) noexcept { return H == nullptr || H == INVALID_HANDLE_VALUE; }
    static void Close(THandle H) noexcept { FindClose(H); }
};

struct TRegKeyTraits {
    using THandle = HKEY;
    static THandle Empty() noexcept { return nullptr; }
    // The predefined roots are never closed: a key opened relative to
    // nothing may be handed one of them back.
    static bool IsEmpty(THandle H) noexcept
    {
        return H == nullptr || H == HKEY_CLASSES_ROOT || H == HKEY_CURRENT_USER || H == HKEY_LOCAL_MACHINE ||
               H == HKEY_USERS || H == HKEY_PERFORMANCE_DATA || H == HKEY_CURRENT_CONFIG || H == HKEY_DYN_DATA;
    }
    static void Close(THandle H) noexcept { RegCloseKey(H); }
};

struct TGdiObjectTraits {
    using THandle = HGDIOBJ;
    static THandle Empty() noexcept { return nullptr; }
    static bool IsEmpty(THandle H) noexcept { return H == nullptr; }
    static void Close(THandle H) noexcept { DeleteObject(H); }
};

struct TModuleTraits {
    using THandle = HMODULE;
    static THandle Empty() noexcept { return nullptr; }
    static bool IsEmpty(THandle H) noexcept { return H == nullptr; }
    static void Close(THandle H) noexcept { FreeLibrary(H); }
};

using THandle = TUniqueHandle<TKernelHandleTraits>;
using TFindHandle = TUniqueHandle<TFindHandleTraits>;
using TRegKey = TUniqueHandle<TRegKeyTraits>;
using TGdiObject = TUniqueHandle<TGdiObjectTraits>;
using TModule = TUniqueHandle<TModuleTraits>;

// A GDI object of a known type (HFONT, HBITMAP, HBRUSH...).
template <class T>
class TGdiHandle {
public:
    TGdiHandle() noexcept = default;
    explicit TGdiHandle(T Value) noexcept : FObject(Value) {}
    T Get() const noexcept { return static_cast<T>(FObject.Get()); }
    bool Valid() const noexcept { return FObject.Valid(); }
    explicit operator bool() const noexcept { return Valid(); }
    void Reset(T Value = nullptr) noexcept { FObject.Reset(Value); }
    T Release() noexcept { return static_cast<T>(FObject.Release()); }

private:
    TGdiObject FObject;
};

// BeginPaint ... EndPaint of one WM_PAINT, ended on every path.
class TPaintDC {
public:
    explicit TPaintDC(HWND Wnd) noexcept : FWnd(Wnd) { FDC = BeginPaint(Wnd, &FPaint); }
    ~TPaintDC() { EndPaint(FWnd, &FPaint); }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    HDC DC() const noexcept { return FDC; }
    const PAINTSTRUCT& Paint() const noexcept { return FPaint; }

private:
    HWND FWnd;
    HDC FDC;
    PAINTSTRUCT FPaint{};
};

// A window's device context from GetDC, given back on every path.
class TWindowDC {
public:
    explicit TWindowDC(HWND Wnd) noexcept : FWnd(Wnd), FDC(GetDC(Wnd)) {}
    ~TWindowDC()
    {
        if (FDC)
            ReleaseDC(FWnd, FDC);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC DC() const noexcept { return FDC; }

private:
    HWND FWnd;
    HDC FDC;
};

// A GDI object selected into a device context, deselected on every path.
class TSelectObject {
public:
    TSelectObject(HDC DC, HGDIOBJ Object) noexcept : FDC(DC), FOld(SelectObject(DC, Object)) {}
    ~TSelectObject() { SelectObject(FDC, FOld); }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// A COM interface pointer, released on every path.
template <class I>
class TComPtr {
public:
    TComPtr() noexcept = default;
    explicit TComPtr(I* Value) noexcept : FPtr(Value) {}
    TComPtr(TComPtr&& Other) noexcept : FPtr(std::exchange(Other.FPtr, nullptr)) {}
    TComPtr& operator=(TComPtr&& Other) noexcept
    {
        if (this != &Other)
            Reset(std::exchange(Other.FPtr, nullptr));
        return *this;
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    ~TComPtr() { Reset(); }

    I* Get() const noexcept { return FPtr; }
    I* operator->() const noexcept { return FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    void Reset(I* Value = nullptr) noexcept
    {
        I* Old = std::exchange(FPtr, Value);
        if (Old)
            Old->Release();
    }
    // For CoCreateInstance and QueryInterface.
    void** Receive() noexcept
    {
        Reset();
        return reinterpret_cast<void**>(&FPtr);
    }
    // Another interface of the same object (empty when it has none).
    template <class J>
    HRESULT QueryInterface(REFIID Iid, TComPtr<J>& Out) const noexcept
    {
        return FPtr ? FPtr->QueryInterface(Iid, Out.Receive()) : E_POINTER;
    }

private:
    I* FPtr = nullptr;
};

// Runs a function when the scope ends, on every path (unless dismissed).
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F Fn) noexcept(noexcept(F(std::move(Fn)))) : FFn(std::move(Fn)) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;
    ~TScopeExit()
    {
        if (FActive)
            FFn();
    }
    void Dismiss() noexcept { FActive = false; }

private:
    F FFn;
    bool FActive = true;
};

// Sets a variable for the rest of the scope and restores its old value on
// every path: "set a member, restore it whatever happens".
template <class T>
class TRestore {
public:
    TRestore(T& Target, T Value) : FTarget(Target), FOld(std::exchange(Target, std::move(Value))) {}
    explicit TRestore(T& Target) : FTarget(Target), FOld(Target) {}
    TRestore(const TRestore&) = delete;
    TRestore& operator=(const TRestore&) = delete;
    ~TRestore() { FTarget = std::move(FOld); }
    const T& Old() const noexcept { return FOld; }

private:
    T& FTarget;
    T FOld;
};

} // namespace fw_Handles
