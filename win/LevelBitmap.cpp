#include "LevelBitmap.h"

#include "Application.h"
#include "Trace.h"

namespace lumidial {

namespace {

// A bitmap info with room for a whole colour table.
struct TableBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// A DIB section holds the picture exactly, at a third of the memory of true
// colour; `bits` then points at its rows, bottom-up when `height` > 0.
UniqueBitmap LevelSection(int width, int height, const ColourTable& colours, void*& bits) noexcept {
    TableBitmapInfo info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    CopyMemory(info.colours, colours.data(), sizeof info.colours);
    bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                         &bits, nullptr, 0));
    if (!bitmap || !bits) {
        TraceFailure(L"making a bitmap of levels", GetLastError());
        return {};
    }
    return bitmap;
}

size_t Stride(int width) noexcept { return (size_t(width) + 3) & ~size_t(3); }

}  // namespace

// CreateDIBSection takes no compressed format: SetDIBits decodes the
// resource into a section with the resource's own palette, whose indices
// then become the levels they stand for.
UniqueBitmap LoadLevelBitmap(int id, const ColourTable& colours) noexcept {
    const HINSTANCE instance = Application->Instance();
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_BITMAP);
    const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* stored = static_cast<const BITMAPINFO*>(loaded ? LockResource(loaded) : nullptr);
    if (!stored) {
        TraceFailure(L"loading a picture of the program's resources", GetLastError());
        return {};
    }
    const BITMAPINFOHEADER& header = stored->bmiHeader;
    const DWORD used = header.biClrUsed ? header.biClrUsed : 256;
    const DWORD bitsAt = header.biSize + used * sizeof(RGBQUAD);
    if (header.biSize < sizeof header || header.biBitCount != 8 || used > 256 || header.biHeight <= 0 ||
        SizeofResource(instance, found) < bitsAt + header.biSizeImage) {
        TraceFailure(L"a picture of the program's resources is not an 8-bit bitmap");
        return {};
    }
    const auto* bytes = reinterpret_cast<const BYTE*>(stored);
    ColourTable indices{};
    CopyMemory(indices.data(), bytes + header.biSize, used * sizeof(RGBQUAD));
    void* bits = nullptr;
    UniqueBitmap bitmap = LevelSection(header.biWidth, header.biHeight, indices, bits);
    if (!bitmap) return {};
    if (SetDIBits(nullptr, bitmap.get(), 0, UINT(header.biHeight), bytes + bitsAt, stored, DIB_RGB_COLORS) !=
        header.biHeight) {
        TraceFailure(L"decoding a picture of the program's resources", GetLastError());
        return {};
    }
    GdiFlush();
    auto* row = static_cast<BYTE*>(bits);
    for (size_t i = 0, n = Stride(header.biWidth) * size_t(header.biHeight); i < n; ++i)
        row[i] = BYTE(indices[row[i]] >> 8);  // the level: the entry's green
    if (!SetColours(bitmap.get(), colours)) return {};
    return bitmap;
}

UniqueBitmap MakeLevelBitmap(const art::GreenImage& picture, const ColourTable& colours) noexcept {
    void* bits = nullptr;
    UniqueBitmap bitmap = LevelSection(picture.width, -picture.height, colours, bits);  // top row first
    if (!bitmap) return {};
    for (int y = 0; y < picture.height; ++y)
        CopyMemory(static_cast<BYTE*>(bits) + Stride(picture.width) * size_t(y),
                   &picture.levels[size_t(y) * size_t(picture.width)], size_t(picture.width));
    return bitmap;
}

bool SetColours(HBITMAP picture, const ColourTable& colours) noexcept {
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (dc) {
        ScopedSelect select(dc.get(), picture);
        if (SetDIBColorTable(dc.get(), 0, 256, reinterpret_cast<const RGBQUAD*>(colours.data())) == 256) return true;
    }
    TraceFailure(L"giving a picture its colours", GetLastError());
    return false;
}

}  // namespace lumidial
