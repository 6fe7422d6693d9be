#include "FakeDesktopShell.h"

#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace ToolkitTest {

struct FakeDesktopShell::State {
    bool hasDesktop = true;
    std::vector<Call> calls;
};

namespace {

std::wstring VariantText(const VARIANT& v)
{
    return v.vt == VT_BSTR && v.bstrVal != nullptr ? std::wstring(v.bstrVal) : std::wstring();
}

// Every object on the path in one: the shell windows, the desktop's browser
// (service provider, browser, active view), the view's background object
// and the shell application.
class ShellObject : public IShellWindows,
                    public IServiceProvider,
                    public IShellBrowser,
                    public IShellView,
                    public IShellFolderViewDual,
                    public IShellDispatch2 {
public:
    explicit ShellObject(std::shared_ptr<FakeDesktopShell::State> state) : state_(std::move(state)) {}
    virtual ~ShellObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellWindows)) {
            *object = static_cast<IShellWindows*>(this);
        } else if (IsEqualIID(riid, IID_IDispatch)) {
            *object = static_cast<IDispatch*>(static_cast<IShellDispatch2*>(this));
        } else if (IsEqualIID(riid, IID_IServiceProvider)) {
            *object = static_cast<IServiceProvider*>(this);
        } else if (IsEqualIID(riid, IID_IShellBrowser)) {
            *object = static_cast<IShellBrowser*>(this);
        } else if (IsEqualIID(riid, IID_IShellView)) {
            *object = static_cast<IShellView*>(this);
        } else if (IsEqualIID(riid, IID_IShellFolderViewDual)) {
            *object = static_cast<IShellFolderViewDual*>(this);
        } else if (IsEqualIID(riid, IID_IShellDispatch) || IsEqualIID(riid, IID_IShellDispatch2)) {
            *object = static_cast<IShellDispatch2*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // The path to the shell application.
    HRESULT STDMETHODCALLTYPE FindWindowSW(VARIANT* location, VARIANT*, int windowClass, LONG* hwnd, int options,
                                           IDispatch** desktop) override
    {
        if (hwnd == nullptr || desktop == nullptr) return E_POINTER;
        *hwnd = 0;
        *desktop = nullptr;
        const bool asksDesktop = location != nullptr && location->vt == VT_I4 && location->lVal == CSIDL_DESKTOP &&
                                 windowClass == SWC_DESKTOP && (options & SWFO_NEEDDISPATCH) != 0;
        if (!state_->hasDesktop || !asksDesktop) return S_FALSE;
        *hwnd = static_cast<LONG>(reinterpret_cast<LONG_PTR>(::GetDesktopWindow()));
        return QueryInterface(IID_IDispatch, reinterpret_cast<void**>(desktop));
    }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualGUID(service, SID_STopLevelBrowser)) return E_NOINTERFACE;
        return QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** view) override
    {
        if (view == nullptr) return E_POINTER;
        *view = static_cast<IShellView*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT item, REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (item != SVGIO_BACKGROUND) return E_INVALIDARG;
        return QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) override
    {
        return QueryInterface(IID_IDispatch, reinterpret_cast<void**>(application));
    }
    HRESULT STDMETHODCALLTYPE ShellExecute(BSTR file, VARIANT, VARIANT, VARIANT operation, VARIANT) override
    {
        state_->calls.push_back({file != nullptr ? std::wstring(file) : std::wstring(), VariantText(operation)});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override
    {
        if (hwnd == nullptr) return E_POINTER;
        *hwnd = ::GetDesktopWindow();
        return S_OK;
    }

    // The rest of the interfaces: not on the path.
    HRESULT STDMETHODCALLTYPE get_Count(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Item(VARIANT, IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Register(IDispatch *, LONG, int, LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterPending(LONG, VARIANT *, VARIANT *, int, LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revoke(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnNavigate(LONG, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnActivated(LONG, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnCreated(LONG, IUnknown *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ProcessAttachDetach(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableModelessSB(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG *, WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UIActivate(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView *, LPCFOLDERSETTINGS, IShellBrowser *, RECT *, HWND *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveViewState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD, SVSIF) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Folder(Folder **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectedItems(FolderItems **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FocusedItem(FolderItem **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectItem(VARIANT *, int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PopupItemMenu(FolderItem *, VARIANT, VARIANT, BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Script(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ViewOptions(LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NameSpace(VARIANT, Folder **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BrowseForFolder(LONG, BSTR, LONG, VARIANT, Folder **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Windows(IDispatch **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Open(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Explore(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MinimizeAll() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UndoMinimizeALL() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FileRun() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CascadeWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileVertically() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileHorizontally() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShutdownWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EjectPC() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTime() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TrayProperties() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Help() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFiles() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindComputer() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RefreshMenu() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ControlPanelItem(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRestricted(BSTR, BSTR, LONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPrinter(BSTR, BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSystemInformation(BSTR, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ServiceStart(BSTR, VARIANT, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ServiceStop(BSTR, VARIANT, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsServiceRunning(BSTR, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanStartStopService(BSTR, VARIANT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(BSTR, VARIANT, VARIANT *) override { return E_NOTIMPL; }

private:
    std::shared_ptr<FakeDesktopShell::State> state_;
    LONG refs_ = 1;
};

class ShellFactory : public IClassFactory {
public:
    explicit ShellFactory(std::shared_ptr<FakeDesktopShell::State> state) : state_(std::move(state)) {}
    virtual ~ShellFactory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* shell = new ShellObject(state_);
        const HRESULT hr = shell->QueryInterface(riid, object);
        shell->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::shared_ptr<FakeDesktopShell::State> state_;
    LONG refs_ = 1;
};

}  // namespace

FakeDesktopShell::FakeDesktopShell(bool hasDesktop) : state_(std::make_shared<State>())
{
    state_->hasDesktop = hasDesktop;
    comInitialized_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    auto* factory = new ShellFactory(state_);
    DWORD cookie = 0;
    if (SUCCEEDED(::CoRegisterClassObject(CLSID_ShellWindows, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                          &cookie))) {
        cookie_ = cookie;
    }
    factory->Release();
}

FakeDesktopShell::~FakeDesktopShell()
{
    if (cookie_ != 0) ::CoRevokeClassObject(cookie_);
    if (comInitialized_) ::CoUninitialize();
}

const std::vector<FakeDesktopShell::Call>& FakeDesktopShell::Calls() const
{
    return state_->calls;
}

}  // namespace ToolkitTest
