// Screen copies and the PNG writer (stored deflate blocks: no compression library needed).
#include "screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Handles.h"
#include "test_files.h"
#include "wine_test.h"

namespace {

unsigned long Crc(const std::string& data) {
    unsigned long crc = 0xFFFFFFFFUL;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320UL & (0UL - (crc & 1)));
    }
    return crc ^ 0xFFFFFFFFUL;
}

void PutBe32(std::string& s, unsigned long v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBe32(png, data.size());
    std::string body = std::string(type, 4) + data;
    png += body;
    PutBe32(png, Crc(body));
}

// A zlib stream of stored blocks of at most 65535 bytes, then the Adler-32 of the data.
std::string Stored(const std::string& raw) {
    std::string z = "\x78\x01";
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);
    return z;
}

std::string Png(const Shot& shot) {
    const size_t row = static_cast<size_t>(shot.Width()) * 3;
    std::string raw;
    for (int y = 0; y < shot.Height(); ++y) {
        raw.push_back('\0');  // filter: none
        raw.append(reinterpret_cast<const char*>(&shot.rgb[y * row]), row);
    }
    std::string header;
    PutBe32(header, shot.Width());
    PutBe32(header, shot.Height());
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", Stored(raw));
    PutChunk(png, "IEND", "");
    return png;
}

}  // namespace

COLORREF Shot::AtClient(HWND hwnd, int x, int y) const {
    POINT point = {x, y};
    ClientToScreen(hwnd, &point);
    int column = point.x - rect.left, line = point.y - rect.top;
    if (column < 0 || line < 0 || column >= Width() || line >= Height())
        return CLR_INVALID;
    const unsigned char* p = &rgb[(static_cast<size_t>(line) * Width() + column) * 3];
    return RGB(p[0], p[1], p[2]);
}

Shot CaptureWindow(HWND hwnd) {
    Shot shot;
    GetWindowRect(hwnd, &shot.rect);
    const int width = shot.Width(), height = shot.Height();
    tw::ScopedGetDC screen(nullptr);
    tw::UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    tw::UniqueBitmap bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap)
        return Shot();
    {
        tw::ScopedSelectObject selected(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), shot.rect.left, shot.rect.top, SRCCOPY);
        GdiFlush();
    }
    shot.rgb.resize(static_cast<size_t>(width) * height * 3);
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = static_cast<unsigned char*>(bits) + y * stride + x * 3;
            unsigned char* q = &shot.rgb[(static_cast<size_t>(y) * width + x) * 3];
            q[0] = p[2], q[1] = p[1], q[2] = p[0];  // BGR to RGB
        }
    return shot;
}

void SaveShot(const Shot& shot, const char* name) {
    const char* folder = std::getenv("TW_WINE_SHOTS");
    if (!folder)
        return;
    std::string path = WindowsPath(std::string(folder) + "/" + name);
    WriteBytes(path, Png(shot));  // a failure is a failed check
    std::printf("screenshot %s\n", path.c_str());
}

void SaveScreen(const char* name) { SaveShot(CaptureWindow(GetDesktopWindow()), name); }
