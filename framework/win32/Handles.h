// Owning (move-only) handle types of Win32 and scoped GDI helpers, used instead of hand-paired calls.
// Depends on Win32 alone: the uninstaller library builds the removal code with it.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>

namespace tw {

struct KernelHandleTraits {  // mutex, process, thread: NULL means none
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE means none
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};
template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DeleteDC(h); }
};
struct IconTraits {  // LoadImage / CreateIconIndirect; never shared icons from LoadIcon
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DestroyIcon(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DestroyMenu(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueKey = UniqueHandle<RegKeyTraits>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;

// Opens subKey of HKEY_LOCAL_MACHINE; no key when it is missing or access is refused.
inline UniqueKey OpenMachineKey(const char* subKey, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, access, &key) != ERROR_SUCCESS)
        return UniqueKey();
    return UniqueKey(key);
}

// GetDC / ReleaseDC of a window.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    ~ScopedGetDC() {
        if (m_hdc)
            ::ReleaseDC(m_hwnd, m_hdc);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC Get() const { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

// BeginPaint / EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::BeginPaint(hwnd, &m_ps)) {}
    ~PaintDC() { ::EndPaint(m_hwnd, &m_ps); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC Get() const { return m_hdc; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps;
    HDC m_hdc;
};

// Selects an object into a DC and selects the previous one back; move-only, so that a
// member can hold a selection that must end before its DC and object go.
class ScopedSelectObject {
public:
    ScopedSelectObject() = default;
    ScopedSelectObject(HDC hdc, HGDIOBJ obj) : m_hdc(hdc), m_prev(obj ? ::SelectObject(hdc, obj) : nullptr) {}
    ~ScopedSelectObject() { Restore(); }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    ScopedSelectObject(ScopedSelectObject&& other) noexcept : m_hdc(other.m_hdc), m_prev(other.m_prev) {
        other.m_prev = nullptr;
    }
    ScopedSelectObject& operator=(ScopedSelectObject&& other) noexcept {
        if (this != &other) {
            Restore();
            m_hdc = other.m_hdc;
            m_prev = other.m_prev;
            other.m_prev = nullptr;
        }
        return *this;
    }
    void Restore() noexcept {
        if (m_prev)
            ::SelectObject(m_hdc, m_prev);
        m_prev = nullptr;
    }

private:
    HDC m_hdc = nullptr;
    HGDIOBJ m_prev = nullptr;
};

}  // namespace tw
