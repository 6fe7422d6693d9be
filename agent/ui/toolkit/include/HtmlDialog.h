#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "LocalFileBlock.h"

#include "Window.h"

struct IOleObject;
struct IWebBrowser2;
struct IConnectionPoint;

namespace Lumen {

class HtmlHostSite;

// A child window hosting the system's HTML view through our own client site
// (HtmlHostSite): scripts, Java, ActiveX and behaviours off; nothing is
// fetched from file paths or shares while a view exists (LocalFileBlock);
// links open in the user's browser. It starts at "about:blank"; SetHtml writes a page into
// the current document (now, or when the blank document has loaded).
// UI thread only; the thread is OLE-initialised for the window's lifetime.
class HtmlDialog : public Window {
public:
    HtmlDialog();
    ~HtmlDialog() override;

    // Creates the window and the view. False (and no window) when the view
    // cannot be created; the caller then shows the page another way.
    bool CreateView(const RECT& rect, HWND parent, UINT id);
    bool HasView() const { return browser_ != nullptr; }
    // True once a document exists to write into.
    bool IsDocumentReady() const;

    // True once the view has reported that it cannot make a document (its
    // blank page failed to load, or loaded without an HTML document): the
    // signal of a missing HTML engine.
    bool HasDocumentFailed() const { return documentFailed_; }

    // Writes `html` into the document; kept until the document is ready.
    // False when the view cannot take it.
    bool SetHtml(const std::wstring& html);

    // Called once a kept page has been written into the document that came.
    void SetPageWrittenHandler(std::function<void()> handler) { onPageWritten_ = std::move(handler); }
    // Called when the view reports that it cannot make a document.
    void SetDocumentFailedHandler(std::function<void()> handler) { onDocumentFailed_ = std::move(handler); }

    // Called when the page's element "ButtonCancel" is clicked.
    void SetCancelHandler(std::function<void()> handler) { onCancel_ = std::move(handler); }

    // Opens an address the page asked for through the user's desktop shell
    // (DesktopShell: web and mail addresses only, un-elevated).
    static bool OpenExternal(const std::wstring& url);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool WriteDocument(const std::wstring& html);
    // Listens to the current document's events (clicks), once per document.
    void ConnectDocumentEvents();
    void DisconnectDocumentEvents();
    void DestroyView();
    void OnDocumentFailed();

    std::unique_ptr<LocalFileBlock> fileBlock_;
    HtmlHostSite* site_ = nullptr;
    IOleObject* object_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
    DWORD adviseCookie_ = 0;
    IConnectionPoint* documentEvents_ = nullptr;
    DWORD documentCookie_ = 0;
    std::function<void()> onCancel_;
    std::function<void()> onPageWritten_;
    std::function<void()> onDocumentFailed_;
    bool documentFailed_ = false;
    bool oleInitialized_ = false;
    bool pending_ = false;
    std::wstring pendingHtml_;
};

}  // namespace Lumen
