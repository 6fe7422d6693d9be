#include "HttpClient.h"

#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <cwchar>
#include <new>

#include "HttpParsing.h"
#include "Lumen/StringUtils.h"
#include "ResponseBuffer.h"
#include "Sha256.h"
#include "TrustRules.h"

namespace Lumen {

namespace {

constexpr DWORD kTimeoutMs = 1000;
constexpr DWORD kPieceSize = 10240;
constexpr size_t kFileWriteSize = 1024 * 1024;
constexpr DWORD kHostNameChars = 260;
constexpr DWORD kUrlPathChars = 1300;
constexpr DWORD kProxyChars = 260;
constexpr DWORD kIgnoreCertificateErrors =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// Strings that WinHTTP hands out for the caller to free with GlobalFree.
struct GlobalStringTraits {
    using Type = LPWSTR;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { ::GlobalFree(p); }
};
using ScopedGlobalString = UniqueHandle<GlobalStringTraits>;

struct CertificateTraits {
    using Type = PCCERT_CONTEXT;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { ::CertFreeCertificateContext(p); }
};
using ScopedCertificate = UniqueHandle<CertificateTraits>;

// "GET" or "POST" for either in any case; "" otherwise.
std::wstring CanonicalMethod(const std::wstring& method)
{
    std::wstring upper = method;
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return (upper == L"GET" || upper == L"POST") ? upper : std::wstring();
}

}  // namespace

HttpClient::HttpClient() : userAgent_(L"HttpClient") {}

HttpClient::~HttpClient() = default;

std::wstring HttpClient::MakeMultipartHeader(const MULTIPART_DATA& data)
{
    return FormatWide(L"Content-Type: multipart/form-data; boundary=%s\r\nContent-Length: %d",
                      Utf8ToWide(data.boundary).c_str(), static_cast<int>(data.BodyLength()));
}

bool HttpClient::Fail(DWORD code)
{
    lastError_ = code;
    return false;
}

bool HttpClient::Request(const std::wstring& method)
{
    lastError_ = 0;
    responseHeaders_.clear();
    responseCharset_.clear();
    responseBody_.clear();
    statusCode_.clear();
    responseBytes_.reset();
    contentLength_ = 0;
    hasContentLength_ = false;
    presentedCertificate_.clear();
    certificateRejected_ = false;

    bool ok = false;
    try {
        ok = RunRequest(method);
    } catch (const std::bad_alloc&) {
        ok = Fail(ERROR_OUTOFMEMORY);
    }
    // Extra headers belong to one request; the session to one exchange.
    extraHeaders_.clear();
    session_.Reset();
    return ok;
}

bool HttpClient::RunRequest(const std::wstring& method)
{
    if (url_.empty()) return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring verb = CanonicalMethod(method);
    if (verb.empty()) return Fail(ERROR_INVALID_PARAMETER);
    // Refused before anything goes out: the extra headers would announce a body
    // that never comes.
    if (multipartData_ && multipartData_->items.empty()) return Fail(ERROR_INVALID_DATA);

    session_.Reset(::WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_) return Fail(::GetLastError());
    if (!::WinHttpSetTimeouts(session_.Get(), 0, kTimeoutMs, kTimeoutMs, kTimeoutMs)) return Fail(::GetLastError());

    wchar_t hostName[kHostNameChars] = {};
    wchar_t urlPath[kUrlPathChars] = {};
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = hostName;
    parts.dwHostNameLength = kHostNameChars;
    parts.lpszUrlPath = urlPath;
    parts.dwUrlPathLength = kUrlPathChars;
    if (!::WinHttpCrackUrl(url_.c_str(), 0, 0, &parts)) return Fail(::GetLastError());
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    ScopedInternetHandle connection(::WinHttpConnect(session_.Get(), hostName, parts.nPort, 0));
    if (!connection) return Fail(::GetLastError());
    ScopedInternetHandle request(::WinHttpOpenRequest(connection.Get(), verb.c_str(), urlPath, nullptr,
                                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                      secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return Fail(::GetLastError());

    // Without this the wait for the response headers has no limit on some
    // WinHTTP implementations, and a stalled server would hold the caller forever.
    DWORD responseTimeout = kTimeoutMs;
    if (!::WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                            sizeof(responseTimeout)))
        return Fail(::GetLastError());

    if (secure) {
        DWORD flags = kIgnoreCertificateErrors;
        if (!::WinHttpSetOption(request.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags)))
            return Fail(::GetLastError());
    }

    // A rejected header line does not stop the exchange; the code stays visible.
    if (!extraHeaders_.empty() &&
        !::WinHttpAddRequestHeaders(request.Get(), extraHeaders_.c_str(), static_cast<DWORD>(-1L),
                                    WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON))
        lastError_ = ::GetLastError();

    if (!::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        lastError_ = ::GetLastError();
        if (!ApplyUserProxy(request.Get())) return false;
        if (!::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                  0))
            return Fail(::GetLastError());
    }

    // A pinned server is checked before the form (passwords, tokens) goes out
    // and again before anything it answers is read.
    const bool pinned = secure && !pinnedCertificates_.empty();
    if (pinned && !CheckPinnedCertificate(request.Get())) return false;

    if (multipartData_ && !WriteBody(request.Get(), multipartData_->BuildBody())) return false;

    if (!::WinHttpReceiveResponse(request.Get(), nullptr)) return Fail(::GetLastError());
    if (pinned && !CheckPinnedCertificate(request.Get())) return false;
    if (!ReadHeaders(request.Get())) return false;

    return downloadPath_.empty() ? ReadBodyToMemory(request.Get()) : ReadBodyToFile(request.Get());
}

bool HttpClient::CheckPinnedCertificate(HINTERNET request)
{
    PCCERT_CONTEXT context = nullptr;
    DWORD size = sizeof(context);
    if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &context, &size)) {
        certificateRejected_ = true;
        return Fail(::GetLastError());
    }
    const ScopedCertificate certificate(context);
    if (!certificate) {
        certificateRejected_ = true;
        return Fail(ERROR_WINHTTP_SECURE_INVALID_CERT);
    }
    presentedCertificate_ = Sha256::HexOf(certificate.Get()->pbCertEncoded, certificate.Get()->cbCertEncoded);
    if (TrustRules::MatchesAny(pinnedCertificates_, presentedCertificate_)) return true;
    certificateRejected_ = true;
    return Fail(ERROR_WINHTTP_SECURE_INVALID_CERT);
}

bool HttpClient::ApplyUserProxy(HINTERNET request)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings = {};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&settings)) return Fail(::GetLastError());
    const ScopedGlobalString autoConfigUrl(settings.lpszAutoConfigUrl);
    const ScopedGlobalString proxy(settings.lpszProxy);
    const ScopedGlobalString bypass(settings.lpszProxyBypass);

    if (autoConfigUrl) {
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP;
        options.lpszAutoConfigUrl = autoConfigUrl.Get();
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO info = {};
        if (!::WinHttpGetProxyForUrl(session_.Get(), url_.c_str(), &options, &info)) return Fail(::GetLastError());
        const ScopedGlobalString infoProxy(info.lpszProxy);
        const ScopedGlobalString infoBypass(info.lpszProxyBypass);
        if (!::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info))) return Fail(::GetLastError());
        return true;
    }

    if (proxy) {
        // Longer names are cut at the buffer, never written past it.
        wchar_t proxyName[kProxyChars] = {};
        wchar_t bypassList[kProxyChars] = {};
        std::wcsncpy(proxyName, proxy.Get(), kProxyChars - 1);
        WINHTTP_PROXY_INFO info = {};
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        info.lpszProxy = proxyName;
        if (bypass) {
            std::wcsncpy(bypassList, bypass.Get(), kProxyChars - 1);
            info.lpszProxyBypass = bypassList;
        }
        if (!::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info))) return Fail(::GetLastError());
    }
    return true;
}

bool HttpClient::WriteBody(HINTERNET request, const std::string& body)
{
    size_t sent = 0;
    while (sent < body.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(kPieceSize, body.size() - sent));
        DWORD written = 0;
        if (!::WinHttpWriteData(request, body.data() + sent, piece, &written)) return Fail(::GetLastError());
        if (written == 0) return Fail(ERROR_WINHTTP_CONNECTION_ERROR);
        sent += written;
    }
    return true;
}

bool HttpClient::QueryHeaderText(HINTERNET request, DWORD infoLevel, std::wstring* text)
{
    DWORD size = 0;
    if (::WinHttpQueryHeaders(request, infoLevel, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                              WINHTTP_NO_HEADER_INDEX))
        return Fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    const DWORD error = ::GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) return Fail(error);

    std::vector<wchar_t> buffer;
    try {
        buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_OUTOFMEMORY);
    }
    DWORD bufferBytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (!::WinHttpQueryHeaders(request, infoLevel, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &bufferBytes,
                               WINHTTP_NO_HEADER_INDEX))
        return Fail(::GetLastError());
    text->assign(buffer.data());
    return true;
}

bool HttpClient::ReadHeaders(HINTERNET request)
{
    if (!QueryHeaderText(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, &responseHeaders_)) return false;
    responseCharset_ = ParseCharset(responseHeaders_);
    if (!ParseContentLength(responseHeaders_, &contentLength_, &hasContentLength_))
        return Fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    return QueryHeaderText(request, WINHTTP_QUERY_STATUS_CODE, &statusCode_);
}

bool HttpClient::NextPiece(HINTERNET request, char* piece, DWORD* available, DWORD* read)
{
    *read = 0;
    // What an earlier query announced is read before asking again.
    if (*available == 0) {
        if (!::WinHttpQueryDataAvailable(request, available)) return Fail(::GetLastError());
        if (*available == 0) return true;
    }
    if (!::WinHttpReadData(request, piece, std::min(*available, kPieceSize), read)) return Fail(::GetLastError());
    *available -= std::min(*available, *read);
    return true;
}

bool HttpClient::ReadBodyToMemory(HINTERNET request)
{
    if (!hasContentLength_) return ReadUnannouncedBodyToMemory(request);
    if (contentLength_ == 0) return true;
    // The announced length is the server's word only: never allocate on it
    // beyond what this API can need.
    if (contentLength_ > kMaxBodyInMemory) return Fail(ERROR_FILE_TOO_LARGE);

    ResponseBuffer buffer;
    if (!buffer.Allocate(contentLength_)) return Fail(ERROR_OUTOFMEMORY);
    char piece[kPieceSize];
    DWORD read = 0;
    DWORD available = 0;
    while (!buffer.IsComplete()) {
        if (!NextPiece(request, piece, &available, &read)) return false;
        if (read == 0) break;
        // Some WinHTTP implementations hand out bytes past the announced length
        // when they arrived in the same packet; they are not part of this body.
        const size_t take = static_cast<size_t>(std::min<uint64_t>(read, buffer.Announced() - buffer.Received()));
        buffer.Append(piece, take);
    }
    if (!buffer.IsComplete()) return Fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);

    responseBytes_ = buffer.Bytes();
    responseBody_ = DecodeBody(responseBytes_->data(), buffer.Received(), responseCharset_);
    return true;
}

bool HttpClient::ReadUnannouncedBodyToMemory(HINTERNET request)
{
    // Chunked, or ended by the closing connection (servers behind a reverse
    // proxy answer so): the end of the data is the end of the body.
    std::vector<char> bytes;
    char piece[kPieceSize];
    DWORD read = 0;
    DWORD available = 0;
    for (;;) {
        if (!NextPiece(request, piece, &available, &read)) return false;
        if (read == 0) break;
        if (bytes.size() + read > kMaxBodyInMemory) return Fail(ERROR_FILE_TOO_LARGE);
        bytes.insert(bytes.end(), piece, piece + read);
    }
    if (bytes.empty()) return true;
    const size_t received = bytes.size();
    bytes.push_back('\0');
    responseBytes_ = std::make_shared<std::vector<char>>(std::move(bytes));
    responseBody_ = DecodeBody(responseBytes_->data(), received, responseCharset_);
    return true;
}

bool HttpClient::ReadBodyToFile(HINTERNET request)
{
    // Created anew: bytes of an earlier file that could not be deleted must
    // never end up in front of or behind this body. Nobody else may write or
    // delete it while it is written.
    ScopedHandle file(::CreateFileW(downloadPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Fail(::GetLastError());

    // Pieces are gathered and written to the file a megabyte at a time: one
    // file write per network piece costs more than the transfer itself.
    std::vector<char> pending;
    pending.reserve(kFileWriteSize);
    const auto flush = [&]() -> bool {
        if (pending.empty()) return true;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), pending.data(), static_cast<DWORD>(pending.size()), &written, nullptr))
            return Fail(::GetLastError());
        if (written != pending.size()) return Fail(ERROR_WRITE_FAULT);
        pending.clear();
        return true;
    };

    uint64_t received = 0;
    char piece[kPieceSize];
    DWORD available = 0;
    DWORD read = 0;
    const auto report = [&] {
        if (progress_) progress_(received, contentLength_, hasContentLength_);
    };
    report();
    if (!hasContentLength_) {
        // Without a Content-Length any byte is one too many: the body is
        // counted to its end, so that the user sees it arrive, and then refused.
        for (;;) {
            if (!NextPiece(request, piece, &available, &read)) return false;
            if (read == 0) break;
            received += read;
            report();
        }
        return received == 0 || Fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    }
    for (;;) {
        if (!NextPiece(request, piece, &available, &read)) return false;
        if (read == 0) break;
        // Bytes past the Content-Length are not part of this body (see ReadBodyToMemory).
        if (received == contentLength_) return flush() && Fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
        const DWORD take = static_cast<DWORD>(std::min<uint64_t>(read, contentLength_ - received));
        pending.insert(pending.end(), piece, piece + take);
        received += take;
        if (pending.size() + kPieceSize > kFileWriteSize && !flush()) return false;
        report();
        if (received == contentLength_ && contentLength_ != 0) break;
    }
    if (!flush()) return false;
    if (received != contentLength_) return Fail(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    return true;
}

}  // namespace Lumen
