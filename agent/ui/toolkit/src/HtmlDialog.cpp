#include "HtmlDialog.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>

#include "DesktopShell.h"
#include "HtmlHostSite.h"
#include "Lumen/DebugOutput.h"
#include "ScopedCom.h"

namespace Lumen {

namespace {
constexpr wchar_t kClassName[] = L"LumenHtmlView";
}  // namespace

HtmlDialog::HtmlDialog() = default;

HtmlDialog::~HtmlDialog()
{
    DestroyView();
}

bool HtmlDialog::OpenExternal(const std::wstring& url)
{
    return DesktopShell::Open(url);
}

bool HtmlDialog::CreateView(const RECT& rect, HWND parent, UINT id)
{
    if (GetHwnd() != nullptr) return HasView();
    if (!RegisterWindowClassOnce(kClassName, nullptr, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                 reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1))) {
        return false;
    }
    const HRESULT init = ::OleInitialize(nullptr);
    oleInitialized_ = SUCCEEDED(init);
    if (!oleInitialized_) {
        OutputDebugMessage(L"fail to initialise OLE for the html view, hr : 0x%08x", static_cast<unsigned>(init));
        return false;
    }
    // Before the view exists, so that not even its first page can reach a file path.
    fileBlock_ = std::make_unique<LocalFileBlock>();
    if (!fileBlock_->IsActive()) {
        DestroyView();
        return false;
    }
    if (!Create(kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, rect, parent, id)) {
        DestroyView();
        return false;
    }
    site_ = new HtmlHostSite(GetHwnd());
    site_->onNavigate = [](const std::wstring& url) { OpenExternal(url); };
    site_->onElementClick = [this](const std::wstring& id) {
        if (id == L"ButtonCancel" && onCancel_) onCancel_();
    };
    site_->onDocumentComplete = [this]() {
        if (!IsDocumentReady()) {
            // Loaded, yet no HTML document: the view has no engine to make one.
            OnDocumentFailed();
            return;
        }
        ConnectDocumentEvents();
        if (pending_) {
            pending_ = false;
            const bool written = WriteDocument(pendingHtml_);
            pendingHtml_.clear();
            if (written && onPageWritten_) onPageWritten_();
        }
    };
    site_->onNavigateError = [this](const std::wstring& url, long status) {
        OutputDebugMessage(L"html view failed to load %s, status : 0x%08x", url.c_str(), static_cast<unsigned>(status));
        if (HtmlHostSite::IsInternalUrl(url) && !IsDocumentReady()) OnDocumentFailed();
    };

    HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(&object_));
    if (SUCCEEDED(hr)) hr = object_->SetClientSite(site_);
    RECT client;
    ::GetClientRect(GetHwnd(), &client);
    if (SUCCEEDED(hr)) hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, GetHwnd(), &client);
    if (SUCCEEDED(hr)) hr = object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
    if (SUCCEEDED(hr)) {
        auto container = QueryCom<IConnectionPointContainer>(browser_, IID_IConnectionPointContainer);
        IConnectionPoint* point = nullptr;
        if (container && SUCCEEDED(container.Get()->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
            ScopedCom<IConnectionPoint> owned(point);
            if (FAILED(point->Advise(static_cast<IDispatch*>(site_), &adviseCookie_))) adviseCookie_ = 0;
        }
        // Without the event sink, links could navigate inside the agent.
        if (adviseCookie_ == 0) hr = E_FAIL;
    }
    if (SUCCEEDED(hr)) {
        BSTR blank = ::SysAllocString(L"about:blank");
        VARIANT empty;
        ::VariantInit(&empty);
        hr = blank != nullptr ? browser_->Navigate(blank, &empty, &empty, &empty, &empty) : E_OUTOFMEMORY;
        ::SysFreeString(blank);
    }
    if (FAILED(hr)) {
        OutputDebugMessage(L"fail to create the html view, hr : 0x%08x", static_cast<unsigned>(hr));
        DestroyView();
        DestroyWindow();
        return false;
    }
    return true;
}

void HtmlDialog::OnDocumentFailed()
{
    if (documentFailed_) return;
    documentFailed_ = true;
    if (onDocumentFailed_) onDocumentFailed_();
}

void HtmlDialog::ConnectDocumentEvents()
{
    IDispatch* dispatch = nullptr;
    if (documentEvents_ != nullptr || browser_ == nullptr || FAILED(browser_->get_Document(&dispatch)) ||
        dispatch == nullptr) {
        return;
    }
    ScopedCom<IDispatch> document(dispatch);
    auto container = QueryCom<IConnectionPointContainer>(dispatch, IID_IConnectionPointContainer);
    IConnectionPoint* point = nullptr;
    if (!container || FAILED(container.Get()->FindConnectionPoint(HtmlHostSite::kDocumentEventsIid, &point))) return;
    if (FAILED(point->Advise(static_cast<IDispatch*>(site_), &documentCookie_))) {
        point->Release();
        return;
    }
    documentEvents_ = point;
}

void HtmlDialog::DisconnectDocumentEvents()
{
    if (documentEvents_ == nullptr) return;
    documentEvents_->Unadvise(documentCookie_);
    documentEvents_->Release();
    documentEvents_ = nullptr;
    documentCookie_ = 0;
}

void HtmlDialog::DestroyView()
{
    DisconnectDocumentEvents();
    if (browser_ != nullptr && adviseCookie_ != 0) {
        auto container = QueryCom<IConnectionPointContainer>(browser_, IID_IConnectionPointContainer);
        IConnectionPoint* point = nullptr;
        if (container && SUCCEEDED(container.Get()->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
            point->Unadvise(adviseCookie_);
            point->Release();
        }
    }
    adviseCookie_ = 0;
    if (browser_ != nullptr) {
        browser_->Release();
        browser_ = nullptr;
    }
    if (object_ != nullptr) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_->Release();
        object_ = nullptr;
    }
    if (site_ != nullptr) {
        site_->Detach();
        site_->Release();
        site_ = nullptr;
    }
    fileBlock_.reset();
    if (oleInitialized_) {
        ::OleUninitialize();
        oleInitialized_ = false;
    }
}

bool HtmlDialog::IsDocumentReady() const
{
    if (browser_ == nullptr) return false;
    IDispatch* document = nullptr;
    if (FAILED(browser_->get_Document(&document)) || document == nullptr) return false;
    ScopedCom<IDispatch> owned(document);
    return QueryCom<IHTMLDocument2>(document, IID_IHTMLDocument2).IsValid();
}

bool HtmlDialog::WriteDocument(const std::wstring& html)
{
    IDispatch* dispatch = nullptr;
    if (browser_ == nullptr || FAILED(browser_->get_Document(&dispatch)) || dispatch == nullptr) return false;
    ScopedCom<IDispatch> owned(dispatch);
    auto document = QueryCom<IHTMLDocument2>(dispatch, IID_IHTMLDocument2);
    if (!document) return false;
    SAFEARRAY* lines = ::SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (lines == nullptr) return false;
    bool ok = false;
    VARIANT* item = nullptr;
    if (SUCCEEDED(::SafeArrayAccessData(lines, reinterpret_cast<void**>(&item)))) {
        item->vt = VT_BSTR;
        item->bstrVal = ::SysAllocStringLen(html.data(), static_cast<UINT>(html.size()));
        ::SafeArrayUnaccessData(lines);
        ok = item->bstrVal != nullptr && SUCCEEDED(document.Get()->write(lines));
        document.Get()->close();
    }
    ::SafeArrayDestroy(lines);  // frees the BSTR with the array's variants
    return ok;
}

bool HtmlDialog::SetHtml(const std::wstring& html)
{
    if (browser_ == nullptr) return false;
    if (IsDocumentReady()) {
        pending_ = false;
        ConnectDocumentEvents();
        return WriteDocument(html);
    }
    pending_ = true;
    pendingHtml_ = html;
    return true;
}

LRESULT HtmlDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_SIZE:
            if (object_ != nullptr) {
                auto inPlace = QueryCom<IOleInPlaceObject>(object_, IID_IOleInPlaceObject);
                RECT rc{0, 0, LOWORD(lParam), HIWORD(lParam)};
                if (inPlace) inPlace.Get()->SetObjectRects(&rc, &rc);
            }
            break;
        case WM_DESTROY:
            DestroyView();
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
