#include "Preview.h"

#include "Application.h"
#include "ClockArtwork.h"
#include "ClockGeometry.h"
#include "Dpi.h"
#include "ScopedWin.h"
#include "ScreenSaverUtils.h"
#include "SingleInstance.h"
#include "Trace.h"
#include "resource.h"

namespace lumidial {

namespace {

constexpr DWORD kPreviewInterval = 100;
constexpr DWORD kHostWaitSlice = 10;

// At the host window's density: a scaled host shows the picture at the
// size it has beside a 96-DPI host's preview area.
UniqueBitmap PreviewPicture(int dpi, std::uint32_t colour) noexcept {
    const ColourTable colours = ColourTableOf(colour);
    if (dpi == kDesignDpi) return LoadLevelBitmap(IDB_PREVIEW, colours);
    try {
        return MakeLevelBitmap(art::DrawPreview(ClockGeometryAt(dpi).scale), colours);
    } catch (...) {
        TraceCaught(L"drawing the preview picture");
        return {};
    }
}

// A look at the whole queue that takes nothing from it: it answers the
// messages sent meanwhile, clears the wakes the system gives for its own
// events, and tells Windows the preview is alive (a program that has not
// looked at its queue for 5 seconds counts as not responding).
void LookAtQueue() noexcept {
    MSG message{};
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// Waits out `milliseconds`, answering at once every message another thread
// or program sends to our windows meanwhile (a setting announced to every
// window, a shutdown's query), and nothing else: posted messages, a quit
// request among them, stay in the queue.
void AnswerSentMessages(DWORD milliseconds) noexcept {
    LookAtQueue();
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        const DWORD woken = MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(end - now), QS_SENDMESSAGE, 0);
        if (woken == WAIT_TIMEOUT) return;
        if (woken != WAIT_OBJECT_0) {
            TraceFailure(L"waiting for messages in the preview", GetLastError());
            Sleep(DWORD(end - now));
            return;
        }
        LookAtQueue();
    }
}

// The picture at the top-left corner of the host's window, on black, until
// the host hides it; false when drawing failed. The selection, the bitmap,
// the memory DC and the host's DC are given back on every way out.
bool Paint(HWND host, std::uint32_t colour) noexcept {
    ScopedGetDC dc(host);
    UniqueMemoryDc picture(dc ? CreateCompatibleDC(dc.get()) : nullptr);
    UniqueBitmap image = PreviewPicture(ForeignWindowDpi(host), colour);
    if (!dc || !picture || !image) {
        TraceFailure(L"preparing to paint the preview", GetLastError());
        return false;
    }
    ScopedSelect select(picture.get(), image.get());
    BITMAP header{};
    GetObjectW(image.get(), sizeof header, &header);
    RECT bounds{};
    GetWindowRect(host, &bounds);
    const RECT area{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
    while (IsWindowVisible(host)) {
        if (!FillRect(dc.get(), &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)))) {
            TraceFailure(L"clearing the host's preview window", GetLastError());
            return false;
        }
        if (!IsWindowVisible(host)) break;
        if (!BitBlt(dc.get(), 0, 0, header.bmWidth, header.bmHeight, picture.get(), 0, 0, SRCCOPY)) {
            TraceFailure(L"painting the preview", GetLastError());
            return false;
        }
        // Drawing into another process's window reaches the screen under
        // some drivers only once something reads back from it.
        GetPixel(dc.get(), 0, 0);
        AnswerSentMessages(kPreviewInterval);
    }
    return true;
}

}  // namespace

void WaitForHostWindow() {
    while (!IsWindowVisible(ParentHandle)) {
        // A host window that goes away before it is ever shown leaves
        // nothing to paint.
        if (!IsWindow(ParentHandle)) Halt(0);
        Application->ProcessMessages();
        // The host showing its window puts nothing in our queue, so the
        // wait is bounded; it still wakes at once for our own messages.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kHostWaitSlice, QS_ALLINPUT);
    }
}

void RunPreview(std::uint32_t colour) {
    ReleaseInstance();
    if (!Paint(ParentHandle, colour)) Halt(0);
    Application->Terminate();
}

}  // namespace lumidial
