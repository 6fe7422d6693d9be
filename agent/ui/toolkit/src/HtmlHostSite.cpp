#include "HtmlHostSite.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtml.h>
#include <olectl.h>

#include <cwctype>

#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {

// The text of a BSTR argument, by value or by reference.
std::wstring ArgText(const VARIANT& v)
{
    const VARIANT* p = &v;
    if (p->vt == (VT_BYREF | VT_VARIANT) && p->pvarVal != nullptr) p = p->pvarVal;
    if (p->vt == VT_BSTR && p->bstrVal != nullptr) return p->bstrVal;
    if (p->vt == (VT_BYREF | VT_BSTR) && p->pbstrVal != nullptr && *p->pbstrVal != nullptr) return *p->pbstrVal;
    return L"";
}

void SetCancel(VARIANT& v)
{
    if (v.vt == (VT_BYREF | VT_BOOL) && v.pboolVal != nullptr) *v.pboolVal = VARIANT_TRUE;
}

}  // namespace

const IID HtmlHostSite::kDocumentEventsIid = {
    0x3050f613, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

DWORD HtmlHostSite::DownloadControlFlags()
{
    return DLCTL_DLIMAGES | DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS |
           DLCTL_NO_BEHAVIORS | DLCTL_NO_FRAMEDOWNLOAD | DLCTL_NO_CLIENTPULL;
}

bool HtmlHostSite::IsInternalUrl(const std::wstring& url)
{
    std::wstring lower;
    for (wchar_t c : url) lower.push_back(static_cast<wchar_t>(std::towlower(c)));
    return lower.empty() || lower == L"about:blank";
}

HtmlHostSite::HtmlHostSite(HWND host) : host_(host) {}

void HtmlHostSite::Detach()
{
    host_ = nullptr;
    onNavigate = nullptr;
    onDocumentComplete = nullptr;
    onNavigateError = nullptr;
    onElementClick = nullptr;
}

STDMETHODIMP HtmlHostSite::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
        *object = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame)) {
        *object = static_cast<IOleInPlaceFrame*>(this);
    } else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID_DWebBrowserEvents2) ||
               IsEqualIID(riid, kDocumentEventsIid)) {
        *object = static_cast<IDispatch*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) HtmlHostSite::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) HtmlHostSite::Release()
{
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP HtmlHostSite::GetMoniker(DWORD, DWORD, IMoniker** mk)
{
    if (mk != nullptr) *mk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP HtmlHostSite::GetContainer(IOleContainer** container)
{
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP HtmlHostSite::GetWindow(HWND* hwnd)
{
    if (hwnd == nullptr) return E_POINTER;
    *hwnd = host_;
    return host_ != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP HtmlHostSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                            LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (frame == nullptr || doc == nullptr || pos == nullptr || clip == nullptr || info == nullptr) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    RECT rc{0, 0, 0, 0};
    if (host_ != nullptr) ::GetClientRect(host_, &rc);
    *pos = rc;
    *clip = rc;
    info->fMDIApp = FALSE;
    info->hwndFrame = host_ != nullptr ? ::GetAncestor(host_, GA_ROOT) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP HtmlHostSite::GetTypeInfoCount(UINT* count)
{
    if (count != nullptr) *count = 0;
    return S_OK;
}

STDMETHODIMP HtmlHostSite::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP HtmlHostSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                  UINT*)
{
    try {
        switch (id) {
            case DISPID_AMBIENT_DLCONTROL:
                if (result == nullptr) return E_POINTER;
                ::VariantInit(result);
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(DownloadControlFlags());
                return S_OK;
            case DISPID_AMBIENT_USERMODE:
                if (result == nullptr) return E_POINTER;
                ::VariantInit(result);
                result->vt = VT_BOOL;
                result->boolVal = VARIANT_TRUE;
                return S_OK;
            case DISPID_BEFORENAVIGATE2:
                // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel (reversed in rgvarg).
                if (params != nullptr && params->cArgs >= 7) {
                    const std::wstring url = ArgText(params->rgvarg[5]);
                    if (!IsInternalUrl(url)) {
                        SetCancel(params->rgvarg[0]);
                        if (onNavigate) onNavigate(url);
                    }
                }
                return S_OK;
            case DISPID_NEWWINDOW3:
                // ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl (reversed).
                if (params != nullptr && params->cArgs >= 5) {
                    SetCancel(params->rgvarg[3]);
                    const std::wstring url = ArgText(params->rgvarg[0]);
                    if (onNavigate && !IsInternalUrl(url)) onNavigate(url);
                }
                return S_OK;
            case DISPID_NEWWINDOW2:
                // ppDisp, Cancel: the address follows in NEWWINDOW3 where there is one.
                if (params != nullptr && params->cArgs >= 2) SetCancel(params->rgvarg[0]);
                return S_OK;
            case DISPID_NAVIGATEERROR:
                // pDisp, URL, TargetFrameName, StatusCode, Cancel (reversed).
                if (params != nullptr && params->cArgs >= 5) {
                    SetCancel(params->rgvarg[0]);
                    const VARIANT* status = &params->rgvarg[1];
                    if (status->vt == (VT_BYREF | VT_VARIANT) && status->pvarVal != nullptr) status = status->pvarVal;
                    const long code = status->vt == VT_I4 ? status->lVal : 0;
                    if (onNavigateError) onNavigateError(ArgText(params->rgvarg[3]), code);
                }
                return S_OK;
            case DISPID_DOCUMENTCOMPLETE:
                if (onDocumentComplete) onDocumentComplete();
                return S_OK;
            case DISPID_HTMLDOCUMENTEVENTS2_ONCLICK: {
                // The event object; the click goes on to its default handling.
                if (result != nullptr) {
                    ::VariantInit(result);
                    result->vt = VT_BOOL;
                    result->boolVal = VARIANT_TRUE;
                }
                if (!onElementClick || params == nullptr || params->cArgs < 1 ||
                    params->rgvarg[0].vt != VT_DISPATCH || params->rgvarg[0].pdispVal == nullptr) {
                    return S_OK;
                }
                IHTMLEventObj* event = nullptr;
                if (FAILED(params->rgvarg[0].pdispVal->QueryInterface(IID_IHTMLEventObj,
                                                                      reinterpret_cast<void**>(&event)))) {
                    return S_OK;
                }
                IHTMLElement* element = nullptr;
                BSTR id = nullptr;
                if (SUCCEEDED(event->get_srcElement(&element)) && element != nullptr) {
                    element->get_id(&id);
                    element->Release();
                }
                event->Release();
                const std::wstring elementId = id != nullptr ? std::wstring(id) : std::wstring();
                ::SysFreeString(id);
                if (!elementId.empty()) onElementClick(elementId);
                return S_OK;
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    } catch (...) {
        OutputDebugMessage(L"html host event failed : %d", static_cast<int>(id));
        return E_FAIL;
    }
}

}  // namespace Lumen
