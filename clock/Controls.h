// The child controls the clock window is built from: panels and pictures.
// Each is a real child window, so that mouse input and painting follow the
// platform's rules for what lies under the pointer.
#pragma once

#include <windows.h>

#include <functional>

#include "Form.h"

namespace lumidial {

// Where a control's input goes; positions are in the reporting control's
// own client coordinates.
struct ControlEvents {
    std::function<void(HWND control, int x, int y)> onMouseMove;
    std::function<void()> onKeyDown;
};

class TControl : public TWindow {
public:
    ~TControl() override { DestroyHandle(); }

    void SetBounds(int left, int top, int width, int height) noexcept;
    void SetLeft(int left) noexcept;
    int Left() const noexcept;
    int Top() const noexcept;
    int Width() const noexcept;
    int Height() const noexcept;

    bool Visible() const noexcept;
    void SetVisible(bool visible) noexcept;

    // Paints what is invalid at once.
    void Repaint() noexcept;

    // No visible pointer over the control.
    void SetCursorNone(bool none) noexcept { cursorNone_ = none; }

    ControlEvents Events;

protected:
    void CreateChild(const wchar_t* className, HWND parent, int left, int top, int width,
                     int height, bool visible);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void Paint(HDC dc) = 0;

private:
    bool cursorNone_ = false;
};

// A plain black panel, used to group and move pictures.
class TPanel final : public TControl {
public:
    TPanel(HWND parent, int left, int top, int width, int height, bool visible);

protected:
    void Paint(HDC dc) override;
};

// A picture that shows a bitmap it does not own, plus an integer tag.
class TImage final : public TControl {
public:
    TImage(HWND parent, int left, int top, int width, int height, bool visible);

    int Tag = 0;
    void SetBitmap(HBITMAP bitmap) noexcept;

protected:
    void Paint(HDC dc) override;

private:
    HBITMAP bitmap_ = nullptr;
};

}  // namespace lumidial
