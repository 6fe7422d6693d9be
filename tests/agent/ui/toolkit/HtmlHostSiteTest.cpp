// The HTML view's client site, called as the view would call it: the
// download-control ambient property and the navigation events.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

#include "HtmlDialog.h"
#include "HtmlHostSite.h"

using namespace Lumen;

namespace {

// Arguments of an event, in the reversed order IDispatch::Invoke takes them.
struct EventArgs {
    std::vector<VARIANT> args;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT url;
    BSTR urlText;

    explicit EventArgs(const wchar_t* address) : urlText(::SysAllocString(address))
    {
        ::VariantInit(&url);
        url.vt = VT_BSTR;
        url.bstrVal = urlText;
    }
    ~EventArgs() { ::SysFreeString(urlText); }

    VARIANT Cancel()
    {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BYREF | VT_BOOL;
        v.pboolVal = &cancel;
        return v;
    }
    VARIANT UrlByRef()
    {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BYREF | VT_VARIANT;
        v.pvarVal = &url;
        return v;
    }
    VARIANT Empty()
    {
        VARIANT v;
        ::VariantInit(&v);
        return v;
    }
};

HRESULT Fire(HtmlHostSite* site, DISPID id, std::vector<VARIANT>& args, VARIANT* result = nullptr)
{
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return site->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

}  // namespace

TEST(HtmlHostSiteTest, AmbientDownloadControlSwitchesOffActiveContent)
{
    HtmlHostSite* site = new HtmlHostSite(nullptr);
    VARIANT result;
    ::VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(site->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                           nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_I4);
    const DWORD flags = static_cast<DWORD>(result.lVal);
    for (DWORD off : {DLCTL_NO_SCRIPTS, DLCTL_NO_JAVA, DLCTL_NO_RUNACTIVEXCTLS, DLCTL_NO_DLACTIVEXCTLS,
                      DLCTL_NO_BEHAVIORS}) {
        EXPECT_NE(flags & off, 0u) << std::hex << off;
    }
    // Unknown ambient properties are the view's own defaults.
    EXPECT_EQ(site->Invoke(DISPID_AMBIENT_USERAGENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                           nullptr),
              DISP_E_MEMBERNOTFOUND);

    // The site answers as every interface the view asks for, and as nothing else.
    for (REFIID iid : {IID_IOleClientSite, IID_IOleInPlaceSite, IID_IOleInPlaceFrame, IID_IDispatch}) {
        IUnknown* p = nullptr;
        EXPECT_EQ(site->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
        if (p != nullptr) p->Release();
    }
    IUnknown* p = nullptr;
    EXPECT_EQ(site->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&p)), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(site->Release(), 0u);
}

TEST(HtmlHostSiteTest, NavigationLeavesTheViewExceptForTheBlankPage)
{
    HtmlHostSite* site = new HtmlHostSite(nullptr);
    std::vector<std::wstring> opened;
    site->onNavigate = [&](const std::wstring& url) { opened.push_back(url); };

    {
        // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel (reversed).
        EventArgs e(L"about:blank");
        std::vector<VARIANT> args = {e.Cancel(), e.Empty(), e.Empty(), e.Empty(), e.Empty(), e.UrlByRef(), e.Empty()};
        EXPECT_EQ(Fire(site, DISPID_BEFORENAVIGATE2, args), S_OK);
        EXPECT_EQ(e.cancel, VARIANT_FALSE);
    }
    {
        EventArgs e(L"https://example.test/page");
        std::vector<VARIANT> args = {e.Cancel(), e.Empty(), e.Empty(), e.Empty(), e.Empty(), e.UrlByRef(), e.Empty()};
        EXPECT_EQ(Fire(site, DISPID_BEFORENAVIGATE2, args), S_OK);
        EXPECT_EQ(e.cancel, VARIANT_TRUE);
    }
    {
        // ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl (reversed).
        EventArgs e(L"https://example.test/popup");
        std::vector<VARIANT> args = {e.url, e.Empty(), e.Empty(), e.Cancel(), e.Empty()};
        EXPECT_EQ(Fire(site, DISPID_NEWWINDOW3, args), S_OK);
        EXPECT_EQ(e.cancel, VARIANT_TRUE);
    }
    {
        EventArgs e(L"");
        std::vector<VARIANT> args = {e.Cancel(), e.Empty()};
        EXPECT_EQ(Fire(site, DISPID_NEWWINDOW2, args), S_OK);
        EXPECT_EQ(e.cancel, VARIANT_TRUE);
    }
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], L"https://example.test/page");
    EXPECT_EQ(opened[1], L"https://example.test/popup");

    // Too few arguments: nothing happens, nothing breaks.
    std::vector<VARIANT> few(2);
    EXPECT_EQ(Fire(site, DISPID_BEFORENAVIGATE2, few), S_OK);
    EXPECT_EQ(opened.size(), 2u);

    // After the host is gone no callback runs.
    site->Detach();
    EventArgs e(L"https://example.test/late");
    std::vector<VARIANT> args = {e.Cancel(), e.Empty(), e.Empty(), e.Empty(), e.Empty(), e.UrlByRef(), e.Empty()};
    EXPECT_EQ(Fire(site, DISPID_BEFORENAVIGATE2, args), S_OK);
    EXPECT_EQ(e.cancel, VARIANT_TRUE);
    EXPECT_EQ(opened.size(), 2u);
    site->Release();
}

TEST(HtmlHostSiteTest, NavigationErrorsAreReportedWithoutTheErrorPage)
{
    HtmlHostSite* site = new HtmlHostSite(nullptr);
    std::vector<std::pair<std::wstring, long>> errors;
    site->onNavigateError = [&](const std::wstring& url, long status) { errors.emplace_back(url, status); };
    // pDisp, URL, TargetFrameName, StatusCode, Cancel (reversed); the status by reference.
    EventArgs e(L"about:blank");
    VARIANT status;
    ::VariantInit(&status);
    status.vt = VT_I4;
    status.lVal = static_cast<LONG>(0x800C0005);
    VARIANT statusRef;
    ::VariantInit(&statusRef);
    statusRef.vt = VT_BYREF | VT_VARIANT;
    statusRef.pvarVal = &status;
    std::vector<VARIANT> args = {e.Cancel(), statusRef, e.Empty(), e.UrlByRef(), e.Empty()};
    EXPECT_EQ(Fire(site, DISPID_NAVIGATEERROR, args), S_OK);
    EXPECT_EQ(e.cancel, VARIANT_TRUE) << "the view's own error page never shows";
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, L"about:blank");
    EXPECT_EQ(errors[0].second, static_cast<long>(0x800C0005));
    std::vector<VARIANT> few(3);
    EXPECT_EQ(Fire(site, DISPID_NAVIGATEERROR, few), S_OK);
    EXPECT_EQ(errors.size(), 1u);
    site->Release();
}

TEST(HtmlHostSiteTest, OnlyWebAndMailAddressesLeaveTheAgent)
{
    // Pages come from a server into an elevated process: nothing that could
    // start a local program is handed to the shell.
    for (const wchar_t* url : {L"file:///C:/Windows/system32/calc.exe", L"C:\\Windows\\notepad.exe",
                               L"javascript:alert(1)", L"ms-settings:", L"", L"httpx://example.test/"}) {
        EXPECT_FALSE(HtmlDialog::OpenExternal(url)) << std::wstring(url).c_str();
    }
    EXPECT_TRUE(HtmlHostSite::IsInternalUrl(L"ABOUT:BLANK"));
    EXPECT_FALSE(HtmlHostSite::IsInternalUrl(L"about:blank#x"));
}
