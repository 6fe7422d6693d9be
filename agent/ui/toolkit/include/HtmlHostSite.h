#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleidl.h>

#include <functional>
#include <string>

namespace Lumen {

// Our OLE client site for an embedded HTML view (no ATL): the in-place site
// and frame the view needs, the ambient properties it asks for, and the sink
// of its browser events.
//
// Ambient DLCONTROL switches off scripts, Java, ActiveX controls and
// behaviours: the pages come from a server and the agent runs elevated.
// Every navigation other than "about:blank" is cancelled and handed to
// `onNavigate` (which opens it in the user's browser); new windows likewise.
// As the sink of the document's events it reports clicks on page elements.
// Reference-counted; created with one reference. UI thread only.
class HtmlHostSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
public:
    // The download-control flags given to the view.
    static DWORD DownloadControlFlags();
    // The document event interface (HTMLDocumentEvents2), which the import
    // libraries do not carry.
    static const IID kDocumentEventsIid;
    // Whether a navigation to `url` may happen inside the view.
    static bool IsInternalUrl(const std::wstring& url);

    explicit HtmlHostSite(HWND host);

    // Called for a navigation the view must not make itself.
    std::function<void(const std::wstring& url)> onNavigate;
    // Called when a document finished loading.
    std::function<void()> onDocumentComplete;
    // Called when the view could not load `url` (NavigateError; the view's
    // own error page is cancelled). Without an HTML engine the view reports
    // this for its first, blank page.
    std::function<void(const std::wstring& url, long status)> onNavigateError;
    // Called for a click on a page element, with the element's id.
    std::function<void(const std::wstring& elementId)> onElementClick;

    // The host window is going away: no more calls out.
    void Detach();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow (shared by the site and the frame)
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
    // IDispatch: ambient properties and browser events
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    virtual ~HtmlHostSite() = default;

    LONG refs_ = 1;
    HWND host_;
};

}  // namespace Lumen
