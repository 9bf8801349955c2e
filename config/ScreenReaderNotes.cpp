#include "ScreenReaderNotes.h"

#include "Trace.h"

#include <objbase.h>
// Defines the annotation service's class, interface and property
// identifiers here, once.
#include <initguid.h>
#include <oleacc.h>

#include <iterator>

namespace lumidial {

namespace {

// Every property a note may set, cleared together.
const MSAAPROPID kNoted[] = {PROPID_ACC_ROLE, PROPID_ACC_DESCRIPTION};

}  // namespace

void TScreenReaderNotes::Releaser::operator()(IAccPropServices* services) const noexcept {
    if (services) services->Release();
}

TScreenReaderNotes::TScreenReaderNotes() noexcept : ole_(LoadLibraryW(L"ole32.dll")) {
    const auto initialize = ProcAddress<decltype(&CoInitializeEx)>(ole_.get(), "CoInitializeEx");
    const auto create = ProcAddress<decltype(&CoCreateInstance)>(ole_.get(), "CoCreateInstance");
    if (!initialize || !create) {
        TraceFailure(L"loading COM (ole32.dll) for the screen readers' notes", GetLastError());
        return;
    }
    // Apartment-threaded, as a dialog's thread is; a thread already in
    // another apartment (RPC_E_CHANGED_MODE) may still make the service.
    const HRESULT status = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comInitialized_ = SUCCEEDED(status);
    IAccPropServices* services = nullptr;
    const HRESULT made = create(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services));
    if (FAILED(made)) TraceFailure(L"making the screen readers' annotation service", DWORD(made));
    services_.reset(services);
}

TScreenReaderNotes::~TScreenReaderNotes() {
    for (HWND control : annotated_)
        if (services_ && IsWindow(control))
            services_->ClearHwndProps(control, OBJID_CLIENT, CHILDID_SELF, kNoted, int(std::size(kNoted)));
    services_.reset();
    if (!comInitialized_) return;
    if (const auto uninitialize = ProcAddress<decltype(&CoUninitialize)>(ole_.get(), "CoUninitialize"))
        uninitialize();
}

void TScreenReaderNotes::SetRole(HWND control, long role) noexcept {
    if (!services_ || failed_) return;
    VARIANT value{};
    value.vt = VT_I4;
    value.lVal = role;
    Noted(control, services_->SetHwndProp(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_ROLE, value),
          L"telling screen readers a control's role");
}

void TScreenReaderNotes::SetDescription(HWND control, const wchar_t* description) noexcept {
    if (!services_ || failed_) return;
    Noted(control,
          services_->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION, description),
          L"giving screen readers a control's description");
}

void TScreenReaderNotes::Noted(HWND control, long status, const wchar_t* what) noexcept {
    if (FAILED(status)) {
        TraceFailure(what, DWORD(status));
        failed_ = true;
        return;
    }
    if (!annotated_.empty() && annotated_.back() == control) return;
    try {
        annotated_.push_back(control);
    } catch (...) {
        TraceCaught(L"keeping the list of annotated controls");
    }
}

}  // namespace lumidial
