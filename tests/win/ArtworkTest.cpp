// The artwork as the Windows build draws it and as Lumidial.scr carries it:
// the drawing module compiled for Windows, which the saver uses on scaled
// screens, gives the stored 96-DPI pictures exactly; and the platform reads
// every image of the program's icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ClockArt.h"
#include "ScopedWin.h"
#include "resource.h"

namespace {

using lumidial::art::GreenImage;

// The saver under test, loaded to read its resources.
lumidial::UniqueLibrary Saver() {
    wchar_t path[MAX_PATH * 2] = {};
    GetEnvironmentVariableW(L"LUMIDIAL_SCR", path, MAX_PATH * 2);
    return lumidial::UniqueLibrary(
        LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// A bitmap's pixels as 32-bit BGRA, top row first.
std::vector<RGBQUAD> Pixels(HBITMAP bitmap, int& width, int& height) {
    BITMAP header{};
    if (!bitmap || !GetObjectW(bitmap, sizeof header, &header)) return {};
    width = header.bmWidth;
    height = header.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<RGBQUAD> pixels(size_t(width) * size_t(height));
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, UINT(height), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == height ? pixels : std::vector<RGBQUAD>{};
}

// Pixels unlike `drawn`: any red or blue, or another level of green.
long Mismatches(HMODULE module, int id, const GreenImage& drawn) {
    auto bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    int width = 0, height = 0;
    const std::vector<RGBQUAD> pixels = Pixels(bitmap, width, height);
    if (bitmap) DeleteObject(bitmap);
    if (pixels.empty() || width != drawn.width || height != drawn.height) return -1;
    long wrong = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        wrong += pixels[i].rgbRed != 0 || pixels[i].rgbBlue != 0 || pixels[i].rgbGreen != drawn.levels[i];
    return wrong;
}

TEST(Artwork, TheWindowsBuildDrawsTheStoredPicturesExactly) {
    const lumidial::UniqueLibrary saver = Saver();
    ASSERT_NE(saver, nullptr) << "LUMIDIAL_SCR names no readable Lumidial.scr";
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(Mismatches(saver.get(), IDB_DIGIT0 + d, lumidial::art::DrawDigit(d)), 0) << "digit " << d;
    EXPECT_EQ(Mismatches(saver.get(), IDB_COLON, lumidial::art::DrawColon()), 0) << "colon";
    EXPECT_EQ(Mismatches(saver.get(), IDB_PREVIEW, lumidial::art::DrawPreview()), 0) << "preview";
}

// The platform picks the image of each size from the icon: the 16 and
// 32-pixel ones in true colour with a mask, the larger ones with alpha, the
// 256-pixel one from its PNG.
TEST(Artwork, EveryIconSizeLoadsAsDrawn) {
    const lumidial::UniqueLibrary saver = Saver();
    ASSERT_NE(saver, nullptr) << "LUMIDIAL_SCR names no readable Lumidial.scr";
    for (int size : {16, 32, 48, 64, 256}) {
        SCOPED_TRACE(std::to_string(size) + " pixels");
        auto icon = static_cast<HICON>(LoadImageW(saver.get(), MAKEINTRESOURCEW(IDI_MAINICON), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO parts{};
        ASSERT_TRUE(GetIconInfo(icon, &parts));
        int width = 0, height = 0, maskWidth = 0, maskHeight = 0;
        const std::vector<RGBQUAD> colour = Pixels(parts.hbmColor, width, height);
        const std::vector<RGBQUAD> mask = Pixels(parts.hbmMask, maskWidth, maskHeight);
        DeleteObject(parts.hbmColor);
        DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
        ASSERT_EQ(std::pair(width, height), std::pair(size, size)) << "an image drawn for this size, not a stretched one";
        ASSERT_FALSE(mask.empty());

        const lumidial::art::IconFace face = lumidial::art::DrawIconFace(size);
        long wrong = 0;
        for (size_t i = 0; i < colour.size(); ++i) {
            const bool opaque = face.opacity[i] >= 128;
            const bool masked = mask[i].rgbRed != 0;  // white in the AND mask: the background shows
            if (size >= 48) {
                wrong += colour[i].rgbReserved != face.opacity[i] || colour[i].rgbGreen != face.picture.levels[i] ||
                         colour[i].rgbRed != 0 || colour[i].rgbBlue != 0;
            } else {
                wrong += masked == opaque || (opaque && colour[i].rgbGreen != face.picture.levels[i]);
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels unlike the drawn icon";
    }
}

}  // namespace
