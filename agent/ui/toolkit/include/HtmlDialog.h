#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "Window.h"

struct IOleObject;
struct IWebBrowser2;
struct IConnectionPoint;

namespace Lumen {

class HtmlHostSite;

// A child window hosting the system's HTML view through our own client site
// (HtmlHostSite): scripts, Java, ActiveX and behaviours off; links open in
// the user's browser. It starts at "about:blank"; SetHtml writes a page into
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

    // Writes `html` into the document; kept until the document is ready.
    // False when the view cannot take it.
    bool SetHtml(const std::wstring& html);

    // Called when the page's element "ButtonCancel" is clicked.
    void SetCancelHandler(std::function<void()> handler) { onCancel_ = std::move(handler); }

    // Opens an address the page asked for in the user's browser, for web
    // and mail addresses only; anything else is refused (a debug line).
    static bool OpenExternal(const std::wstring& url);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool WriteDocument(const std::wstring& html);
    // Listens to the current document's events (clicks), once per document.
    void ConnectDocumentEvents();
    void DisconnectDocumentEvents();
    void DestroyView();

    HtmlHostSite* site_ = nullptr;
    IOleObject* object_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
    DWORD adviseCookie_ = 0;
    IConnectionPoint* documentEvents_ = nullptr;
    DWORD documentCookie_ = 0;
    std::function<void()> onCancel_;
    bool oleInitialized_ = false;
    bool pending_ = false;
    std::wstring pendingHtml_;
};

}  // namespace Lumen
