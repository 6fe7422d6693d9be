#pragma once

#include "Dialog.h"
#include "ResizeHandler.h"

namespace Lumen {

// A dialog whose anchored children follow its size. Only dialogs with a
// sizing border take part: for them the size at initialisation is also the
// smallest tracking size. UI thread only.
class ResizeDialog : public Dialog, public ResizeHandler {
public:
    explicit ResizeDialog(UINT templateId = 0) : Dialog(templateId) {}

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    bool HasSizingBorder() const;

private:
    SIZE minTrackSize_ = {0, 0};
};

}  // namespace Lumen
