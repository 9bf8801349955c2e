#include "ConfigureFrm.h"

#include "Application.h"

namespace lumidial {

// Placeholder until the dialog is built: ends at once.
TConfigureForm::TConfigureForm() { Application->Terminate(); }

TConfigureForm::~TConfigureForm() { DestroyHandle(); }

void TConfigureForm::Show() {}

LRESULT TConfigureForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandler(message, wParam, lParam);
}

}  // namespace lumidial
