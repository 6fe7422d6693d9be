#pragma once

#include <string>
#include <vector>

#include "GdiHandles.h"
#include "IPage.h"
#include "SkinAnimatedGif.h"
#include "SkinButton.h"
#include "SkinDialog.h"
#include "SkinStatic.h"

// The message overlay: covers the main dialog's current page with a text,
// a picture or the loading animation, and buttons whose answer it can wait
// for in a modal loop. UI thread only, except EndWaitFromAnyThread.
class MessageView : public Lumen::SkinDialog {
public:
    static constexpr UINT kFrameIntervalMs = 50;

    MessageView();

    // Where the main dialog keeps its current page: the page covered.
    void SetCoveredPage(IPage* const* currentPage) { currentPage_ = currentPage; }

    // Shows `text` with the buttons and picture of `flags` (MessageViewFlags).
    // With buttons it waits for one: -1 when "취소" ended the wait, else 0.
    int ShowMessage(const std::wstring& text, int flags);
    void HideMessage();
    // The lines under the text while an installation runs: the product, its
    // step and its place in an install-all; an empty line is hidden. Any
    // message shown afterwards hides them.
    void ShowProgress(const std::wstring& product, const std::wstring& step, const std::wstring& count);
    bool IsWaiting() const { return waiting_; }
    int GetFlags() const { return flags_; }
    const std::wstring& GetText() const { return text_; }
    Lumen::SkinAnimatedGif& GetLoadingAnimation() { return loading_; }

    // Ends a pending wait as "취소" would; safe from any thread.
    void EndWaitFromAnyThread();

    void DrawBackground(HDC dc) override;
    // The covered page's picture lies under the whole overlay.
    bool GetLayeredParts(std::vector<RECT>*) override { return false; }
    // The shown buttons: "확인", or "계속 진행" then "취소".
    std::vector<HWND> GetTabOrder() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    static constexpr UINT kEndWaitMessage = WM_APP + 0x33;

    HWND CoveredWindow() const;
    void HideAllChildren();
    // Keeps a picture of the covered page as it looks now (still shown).
    void SnapshotCoveredPage();
    // Whether the main window is the active one (focus moves only then:
    // never out of a notice the user is reading).
    bool OwnsActivation() const;
    // The overlay has come up: its first button (or the overlay itself)
    // takes the focus; the control that had it is remembered.
    void TakeFocus(bool firstShow, HWND focusBefore);
    // Whether the focus is on the overlay (or nowhere, or on the main window).
    bool HoldsFocus() const;
    // The overlay has gone: a focus it held goes back to the covered page.
    void ReturnFocus(HWND covered, bool heldFocus);

    void SetProgressLine(Lumen::SkinStatic& line, const std::wstring& text);

    Lumen::SkinStatic textStatic_;
    Lumen::SkinStatic product_;
    Lumen::SkinStatic step_;
    Lumen::SkinStatic count_;
    Lumen::SkinButton ok_;
    Lumen::SkinButton cancel_;
    Lumen::SkinButton continue_;
    Lumen::SkinStatic info_;
    Lumen::SkinStatic success_;
    Lumen::SkinStatic failure_;
    Lumen::SkinAnimatedGif loading_;
    IPage* const* currentPage_ = nullptr;
    Lumen::ScopedBitmap pageSnapshot_;
    SIZE snapshotSize_ = {0, 0};
    HWND focusBefore_ = nullptr;
    bool waiting_ = false;
    int flags_ = 0;
    std::wstring text_;
};
