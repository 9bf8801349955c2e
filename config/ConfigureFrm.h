// The settings dialog.
#pragma once

#include "Form.h"

namespace lumidial {

class TConfigureForm final : public TForm {
public:
    TConfigureForm();
    ~TConfigureForm() override;

    void Show() override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace lumidial
