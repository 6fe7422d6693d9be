#pragma once

#include "SkinDialog.h"
#include "SkinStatic.h"

// The about box, run modally; a click anywhere in it closes it.
// UI thread only.
class CAboutDlg : public Lumen::SkinDialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    Lumen::SkinStatic version_;
    Lumen::SkinStatic info_;
};
