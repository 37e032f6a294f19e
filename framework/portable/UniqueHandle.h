// UniqueHandle, the one owner type of every kind of handle, and the owner of C streams.
// Free of Win32, so that code built for the host too owns its files the same way.
#pragma once

#include <cstdio>

namespace tw {

// Owns one handle; Traits gives its type, its "no handle" value and how to free it.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit UniqueHandle(Type h) noexcept : m_h(h) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Type Get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != Traits::Invalid(); }

    Type Release() noexcept {
        Type h = m_h;
        m_h = Traits::Invalid();
        return h;
    }
    // Never frees the "no handle" value.
    void Reset(Type h = Traits::Invalid()) noexcept {
        if (m_h != Traits::Invalid())
            Traits::Close(m_h);
        m_h = h;
    }

private:
    Type m_h;
};

struct StdioFileTraits {  // C streams: the settings files, the installation snapshot
    using Type = FILE*;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { std::fclose(h); }
};

using UniqueFile = UniqueHandle<StdioFileTraits>;

}  // namespace tw
