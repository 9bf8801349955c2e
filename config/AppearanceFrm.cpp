#include "AppearanceFrm.h"

#include "AppearanceLayout.h"
#include "Application.h"
#include "ClockArt.h"
#include "ClockDesign.h"
#include "ClockLook.h"
#include "ConfigureLayout.h"
#include "Dpi.h"
#include "LevelBitmap.h"
#include "Messages.h"
#include "Settings.h"
#include "Trace.h"
#include "resource.h"

#include <commctrl.h>
#include <commdlg.h>

namespace lumidial {

namespace {

// The choices' value for each bit of TSettings::ToWrite: a value the user
// changed is written, one left as it was only when the key held it.
template <typename Value>
void Take(TSettings& settings, Value TSettings::*field, Value chosen, unsigned bit) noexcept {
    if (settings.*field == chosen) return;
    settings.*field = chosen;
    settings.ToWrite |= bit;
}

// In the user's short time format (hours and minutes), where the picker's
// own is the long one, with seconds; the picker keeps its own when the
// locale cannot say.
void UseShortTimeFormat(HWND picker) noexcept {
    wchar_t format[80] = {};
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTTIME, format, 80)) {
        TraceFailure(L"reading the user's short time format", GetLastError());
        return;
    }
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format));
}

}  // namespace

TAppearanceForm::TAppearanceForm(HWND owner, TSettings& settings)
    : settings_(settings), colour_(settings.ClockColour) {
    WNDCLASSEXW wc{};
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    // As the settings dialog: a fixed frame, and the frame around the
    // choices needs the window's own background inside it.
    RECT at{};
    GetWindowRect(owner, &at);
    CreateHandle(cfg::kAppearanceClass, wc, WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT,
                 WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, cfg::kAppearanceCaption, at.left,
                 at.top, cfg::kAppearanceForm.clientWidth, cfg::kAppearanceForm.clientHeight, owner);
    controls_.emplace(Handle(), cfg::kAppearanceLayout);
    auto item = [this](int id) { return GetDlgItem(Handle(), id); };
    swatch_ = item(cfg::kColourSwatch);
    cmbClockSize = item(cfg::kClockSize);
    chkLeadingZero = item(cfg::kLeadingZero);
    chkDimAtNight = item(cfg::kDimAtNight);
    dtDimFrom = item(cfg::kDimFrom);
    dtDimTo = item(cfg::kDimTo);
    sample_ = item(cfg::kSample);
    controls_->ApplyDpi(WindowDpi(Handle()));
    PlaceOverOwner(owner);
    FormCreate();
    MakeSample(controls_->Density());
}

TAppearanceForm::~TAppearanceForm() {
    controls_.reset();
    DestroyHandle();
}

void TAppearanceForm::Show() { ShowWindow(Handle(), SW_SHOWNORMAL); }

// Escape leaves like Cancel, except while the size's list is dropped down:
// then it only closes the list.
bool TAppearanceForm::PreTranslateMessage(MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE &&
        (message.hwnd == Handle() || IsChild(Handle(), message.hwnd)) &&
        !SendMessageW(cmbClockSize, CB_GETDROPPEDSTATE, 0, 0)) {
        btnCancelClick();
        return true;
    }
    return controls_->TranslateKey(message);
}

LRESULT TAppearanceForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        CommandReceived(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_SETFOCUS:
        controls_->RestoreFocus();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) controls_->RememberFocus();
        break;
    case WM_DPICHANGED:
        DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        if (controls_->SettingsChanged(message)) MakeSample(controls_->Density());
        break;
    case WM_CLOSE:
        Close();
        return 0;
    default:
        break;
    }
    return DefaultHandler(message, wParam, lParam);
}

// ---- Handlers ---------------------------------------------------------------

void TAppearanceForm::FormCreate() {
    SendMessageW(cmbClockSize, CB_SETCURSEL, static_cast<WPARAM>(settings_.ClockSize), 0);
    SetChecked(chkLeadingZero, settings_.LeadingZero);
    UseShortTimeFormat(dtDimFrom);
    UseShortTimeFormat(dtDimTo);
    SetPickerMinutes(dtDimFrom, settings_.DimFrom);
    SetPickerMinutes(dtDimTo, settings_.DimTo);
    SetChecked(chkDimAtNight, settings_.DimAtNight);
}

// The library is loaded at the first click, so that the settings dialog
// opens without it. A user who cancels the colour dialog keeps the colour.
void TAppearanceForm::btnChooseClick() {
    if (!colourDialog_) colourDialog_.reset(LoadLibraryW(L"comdlg32.dll"));
    const auto choose = ProcAddress<decltype(&ChooseColorW)>(colourDialog_.get(), "ChooseColorW");
    if (!choose) {
        TraceFailure(L"loading the colour dialog (comdlg32.dll)", GetLastError());
        MessageBoxA(Handle(), msg::kColourDialogNotOpened.data(), msg::kWarningCaption.data(),
                    MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    // The design's green among the custom colours, one click away.
    if (customColours_[0] == 0) customColours_[0] = kDesignColour;
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    dialog.rgbResult = colour_;
    dialog.lpCustColors = customColours_.data();
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (choose(&dialog)) {
        colour_ = dialog.rgbResult & 0x00FFFFFFu;
        LookChanged();
        return;
    }
    const auto why = ProcAddress<decltype(&CommDlgExtendedError)>(colourDialog_.get(), "CommDlgExtendedError");
    if (const DWORD error = why ? why() : 0) TraceFailure(L"showing the colour dialog", error);
}

void TAppearanceForm::btnResetClick() noexcept {
    colour_ = kDesignColour;
    LookChanged();
}

void TAppearanceForm::chkDimAtNightClick() noexcept {
    const BOOL dims = Checked(chkDimAtNight) ? TRUE : FALSE;
    EnableWindow(dtDimFrom, dims);
    EnableWindow(dtDimTo, dims);
    LookChanged();
}

void TAppearanceForm::btnOkClick() noexcept {
    Take(settings_, &TSettings::ClockColour, colour_, TSettings::kClockColour);
    const auto size = static_cast<std::int32_t>(SendMessageW(cmbClockSize, CB_GETCURSEL, 0, 0));
    if (size >= 0) Take(settings_, &TSettings::ClockSize, size, TSettings::kClockSize);
    Take(settings_, &TSettings::LeadingZero, Checked(chkLeadingZero), TSettings::kLeadingZero);
    Take(settings_, &TSettings::DimAtNight, Checked(chkDimAtNight), TSettings::kDimAtNight);
    Take(settings_, &TSettings::DimFrom, PickerMinutes(dtDimFrom, settings_.DimFrom), TSettings::kDimFrom);
    Take(settings_, &TSettings::DimTo, PickerMinutes(dtDimTo, settings_.DimTo), TSettings::kDimTo);
    ModalResult = kModalOk;
}

void TAppearanceForm::btnCancelClick() noexcept { ModalResult = kModalCancel; }

// ---- Message plumbing -----------------------------------------------------

void TAppearanceForm::CommandReceived(int id, int code, HWND control) {
    switch (id) {
    case cfg::kDimAtNight:
        if (code == BN_CLICKED) chkDimAtNightClick();
        break;
    case cfg::kChooseColour:
    case cfg::kResetColour:
    case cfg::kAppearanceOk:
    case cfg::kAppearanceCancel:
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
            TDialogControls::ButtonFocusChanged(control, code == BN_SETFOCUS);
        } else if (code == BN_CLICKED) {
            if (id == cfg::kChooseColour) btnChooseClick();
            else if (id == cfg::kResetColour) btnResetClick();
            else if (id == cfg::kAppearanceOk) btnOkClick();
            else btnCancelClick();
        }
        break;
    default:
        // Anything else, IDOK and IDCANCEL included, has no handler.
        break;
    }
}

void TAppearanceForm::DrawItem(const DRAWITEMSTRUCT& item) noexcept {
    if (item.hwndItem == swatch_) DrawSwatch(item.hDC, item.rcItem);
    if (item.hwndItem == sample_) DrawSample(item.hDC, item.rcItem);
}

void TAppearanceForm::DpiChanged(int dpi, const RECT& suggested) noexcept {
    controls_->DpiChanged(dpi, suggested);
    MakeSample(controls_->Density());
}

// ---- The swatch and the sample --------------------------------------------

void TAppearanceForm::LookChanged() noexcept {
    InvalidateRect(swatch_, nullptr, FALSE);
    if (samplePicture_ && SetColours(samplePicture_.get(), SampleColours()))
        InvalidateRect(sample_, nullptr, FALSE);
}

ColourTable TAppearanceForm::SampleColours() const noexcept {
    return ColourTableOf(colour_, Checked(chkDimAtNight) ? kDimmedPercent : 100);
}

// As the host's preview shows it: the stored picture at 96 DPI, drawn
// anew at any other density; with the text size, as its frame grows.
void TAppearanceForm::MakeSample(int density) noexcept {
    if (density == kDesignDpi) {
        samplePicture_ = LoadLevelBitmap(IDB_PREVIEW, SampleColours());
    } else {
        try {
            samplePicture_ = MakeLevelBitmap(art::DrawPreview(double(density) / kDesignDpi), SampleColours());
        } catch (...) {
            TraceCaught(L"drawing the Appearance dialog's sample");
            samplePicture_.reset();
        }
    }
    InvalidateRect(sample_, nullptr, FALSE);
}

// The colour itself, framed in the system's colour for window frames.
void TAppearanceForm::DrawSwatch(HDC dc, const RECT& area) const noexcept {
    UniqueBrush colour(CreateSolidBrush(colour_));
    if (!colour) TraceFailure(L"making the swatch's brush", GetLastError());
    FillRect(dc, &area, colour ? colour.get() : GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &area, GetSysColorBrush(COLOR_WINDOWFRAME));
}

// The picture centred on black, as the clock is shown.
void TAppearanceForm::DrawSample(HDC dc, const RECT& area) const noexcept {
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!samplePicture_) return;
    UniqueMemoryDc picture(CreateCompatibleDC(dc));
    BITMAP header{};
    if (!picture || !GetObjectW(samplePicture_.get(), sizeof header, &header)) {
        TraceFailure(L"preparing to paint the sample", GetLastError());
        return;
    }
    const ScopedSelect select(picture.get(), samplePicture_.get());
    const int left = area.left + (area.right - area.left - header.bmWidth) / 2;
    const int top = area.top + (area.bottom - area.top - header.bmHeight) / 2;
    if (!BitBlt(dc, left, top, header.bmWidth, header.bmHeight, picture.get(), 0, 0, SRCCOPY))
        TraceFailure(L"painting the sample", GetLastError());
}

void TAppearanceForm::PlaceOverOwner(HWND owner) noexcept {
    RECT over{}, self{};
    GetWindowRect(owner, &over);
    GetWindowRect(Handle(), &self);
    const int left = over.left + (over.right - over.left - (self.right - self.left)) / 2;
    const int top = over.top + (over.bottom - over.top - (self.bottom - self.top)) / 2;
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    controls_->KeepOnScreen();
}

// ---- Control state ---------------------------------------------------------

// Setting a check box from code counts as the user's click, as in the
// settings dialog: its click handler runs.
void TAppearanceForm::SetChecked(HWND checkBox, bool checked) {
    if (Checked(checkBox) == checked) return;
    SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    CommandReceived(GetDlgCtrlID(checkBox), BN_CLICKED, checkBox);
}

// The picker holds a time of day on the count-down's designed date; only
// its hours and minutes count.
void TAppearanceForm::SetPickerMinutes(HWND picker, int minutes) noexcept {
    SYSTEMTIME time = ToSystemTime(cfg::kDesignedCountDownTime);
    time.wHour = static_cast<WORD>(minutes / 60);
    time.wMinute = static_cast<WORD>(minutes % 60);
    time.wSecond = 0;
    time.wMilliseconds = 0;
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

int TAppearanceForm::PickerMinutes(HWND picker, int otherwise) noexcept {
    SYSTEMTIME time{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return otherwise;
    return time.wHour * 60 + time.wMinute;
}

}  // namespace lumidial
