#include "ClockArtwork.h"

#include "Application.h"
#include "Messages.h"
#include "Trace.h"
#include "resource.h"

#include <stdexcept>

namespace lumidial {

namespace {

// A bitmap info with room for a whole palette.
struct PaletteBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

UniqueBitmap Required(UniqueBitmap bitmap, const char* what) {
    if (!bitmap) throw std::runtime_error(what);
    return bitmap;
}

}  // namespace

// A DIB section of 8 bits a pixel with the resource's palette holds the
// picture exactly, at a third of the memory of true colour. CreateDIBSection
// takes no compressed format; SetDIBits decodes the resource into it.
UniqueBitmap LoadBitmapResource(int id) noexcept {
    const HINSTANCE instance = Application->Instance();
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_BITMAP);
    const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* stored = static_cast<const BITMAPINFO*>(loaded ? LockResource(loaded) : nullptr);
    if (!stored) {
        TraceFailure(L"loading a picture of the program's resources", GetLastError());
        return {};
    }
    const BITMAPINFOHEADER& header = stored->bmiHeader;
    const DWORD colours = header.biClrUsed ? header.biClrUsed : 256;
    const DWORD bitsAt = header.biSize + colours * sizeof(RGBQUAD);
    if (header.biSize < sizeof header || header.biBitCount != 8 || colours > 256 || header.biHeight <= 0 ||
        SizeofResource(instance, found) < bitsAt + header.biSizeImage) {
        TraceFailure(L"a picture of the program's resources is not an 8-bit bitmap");
        return {};
    }

    PaletteBitmapInfo plain{};
    plain.header = header;
    plain.header.biSize = sizeof plain.header;
    plain.header.biCompression = BI_RGB;
    plain.header.biSizeImage = 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(stored);
    CopyMemory(plain.colours, bytes + header.biSize, colours * sizeof(RGBQUAD));
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&plain), DIB_RGB_COLORS,
                                         &bits, nullptr, 0));
    if (!bitmap || SetDIBits(nullptr, bitmap.get(), 0, UINT(header.biHeight), bytes + bitsAt, stored,
                             DIB_RGB_COLORS) != header.biHeight) {
        TraceFailure(L"making a bitmap of a picture of the program's resources", GetLastError());
        return {};
    }
    return bitmap;
}

UniqueBitmap GreenBitmap(const art::GreenImage& picture) noexcept {
    PaletteBitmapInfo info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = picture.width;
    info.header.biHeight = -picture.height;  // top row first, as drawn
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int level = 0; level < 256; ++level) info.colours[level].rgbGreen = BYTE(level);
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                         &bits, nullptr, 0));
    if (!bitmap || !bits) {
        TraceFailure(L"making a bitmap of a drawn picture", GetLastError());
        return {};
    }
    const size_t stride = (size_t(picture.width) + 3) & ~size_t(3);
    for (int y = 0; y < picture.height; ++y)
        CopyMemory(static_cast<BYTE*>(bits) + stride * size_t(y), &picture.levels[size_t(y) * size_t(picture.width)],
                   size_t(picture.width));
    return bitmap;
}

TClockArtwork TClockArtwork::At(double scale) {
    TClockArtwork artwork;
    artwork.scale_ = scale;
    if (scale == 1.0) {
        for (int digit = 0; digit < 10; ++digit)
            artwork.digits_[size_t(digit)] =
                Required(LoadBitmapResource(IDB_DIGIT0 + digit), msg::kArtworkNotLoaded.data());
        artwork.colon_ = Required(LoadBitmapResource(IDB_COLON), msg::kArtworkNotLoaded.data());
    } else {
        artwork.colon_ = Required(GreenBitmap(art::DrawColon(scale)), msg::kArtworkNotDrawn.data());
    }
    return artwork;
}

HBITMAP TClockArtwork::Digit(int digit) {
    UniqueBitmap& image = digits_.at(size_t(digit));
    if (!image) image = Required(GreenBitmap(art::DrawDigit(digit, scale_)), msg::kArtworkNotDrawn.data());
    return image.get();
}

}  // namespace lumidial
