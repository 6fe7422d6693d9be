// Lists the windows of the current desktop, one a line, so that scripts can
// find controls by their text and click them where a person would:
//
//   <hwnd> <parent> <visible 0|1> <left> <top> <right> <bottom> <class> <text>
//
// tab-separated, in UTF-8, screen coordinates; line breaks in a text are
// written as "\n". Top-level windows come first, each followed by all of
// its descendants.
//
// With "--processes" it lists the processes instead: "<pid>\t<exe name>".
// Exit code 0; 1 when the output cannot be written; 2 on a bad argument.
#include <windows.h>
#include <tlhelp32.h>

#include <Lumen/UniqueHandle.h>

#include <string>

namespace {

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

// One field: tabs and line breaks would split the record.
std::wstring Escaped(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') continue;
        else if (c == L'\t') out += L' ';
        else out += c;
    }
    return out;
}

std::wstring TextOf(HWND hwnd)
{
    // WM_GETTEXT rather than GetWindowText: the latter does not ask windows
    // of other processes for their controls' texts.
    LRESULT length = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000,
                               reinterpret_cast<PDWORD_PTR>(&length)))
        return {};
    if (length <= 0 || length > 65536) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                               1000, &copied))
        return {};
    text.resize(copied);
    return text;
}

struct Output {
    HANDLE handle = nullptr;
    bool ok = true;
    void Write(const std::string& bytes)
    {
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            ok = false;
    }
};

void Describe(Output& out, HWND hwnd)
{
    wchar_t className[256] = {};
    ::GetClassNameW(hwnd, className, 256);
    RECT rect = {};
    ::GetWindowRect(hwnd, &rect);
    wchar_t head[160] = {};
    ::_snwprintf(head, 159, L"%llx\t%llx\t%d\t%ld\t%ld\t%ld\t%ld\t",
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)),
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(::GetAncestor(hwnd, GA_PARENT))),
                 ::IsWindowVisible(hwnd) ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom);
    out.Write(ToUtf8(head) + ToUtf8(Escaped(className)) + "\t" + ToUtf8(Escaped(TextOf(hwnd))) + "\n");
}

BOOL CALLBACK OnChild(HWND hwnd, LPARAM context)
{
    Describe(*reinterpret_cast<Output*>(context), hwnd);
    return TRUE;
}

BOOL CALLBACK OnTopLevel(HWND hwnd, LPARAM context)
{
    Describe(*reinterpret_cast<Output*>(context), hwnd);
    ::EnumChildWindows(hwnd, OnChild, context);
    return TRUE;
}

bool ListProcesses(Output& out)
{
    const Lumen::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry))
        out.Write(std::to_string(entry.th32ProcessID) + "\t" + ToUtf8(Escaped(entry.szExeFile)) + "\n");
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Output out;
    out.handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc == 2 && std::wstring(argv[1]) == L"--processes") {
        if (!ListProcesses(out)) return 1;
    } else if (argc == 1) {
        ::EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(&out));
    } else {
        return 2;
    }
    return out.ok ? 0 : 1;
}
