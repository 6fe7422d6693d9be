#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Lumen/UniqueHandle.h"
#include "MultipartData.h"

namespace Lumen {

// Synchronous HTTP/HTTPS exchange over WinHTTP. One client per exchange, used
// by one thread at a time. Every wait (connect, send, response headers, each
// read) is limited to one second; certificate errors of HTTPS servers are
// ignored unless certificates are pinned; redirects are followed. The HTTP status is reported as text and
// never judged. Request logs nothing: callers log.
class HttpClient {
public:
    // The largest body read into memory (the answers of the operator's API
    // are a few kilobytes); downloads to a file have no limit.
    static constexpr uint64_t kMaxBodyInMemory = 8 * 1024 * 1024;

    HttpClient();
    virtual ~HttpClient();

    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void SetUrl(const std::wstring& url) { url_ = url; }
    // When not empty, the body goes to this file instead of memory. The file
    // is created anew (what it held is gone) and shared for reading only
    // while the body is written.
    void SetDownloadPath(const std::wstring& path) { downloadPath_ = path; }
    void SetUserAgent(const std::wstring& userAgent) { userAgent_ = userAgent; }
    // Called on the requesting thread while a download to a file runs: once
    // when the headers are in, then after every piece read, with the bytes
    // received so far and the Content-Length (`hasTotal` false without one).
    // It must return quickly: the transfer waits for it.
    using ProgressCallback = std::function<void(uint64_t received, uint64_t total, bool hasTotal)>;
    void SetProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }
    // Header lines, each ended by CRLF. Used by the next request only.
    void SetExtraHeaders(const std::wstring& headers) { extraHeaders_ = headers; }
    void SetMultipartData(std::shared_ptr<MULTIPART_DATA> data) { multipartData_ = std::move(data); }
    // SHA-256 fingerprints (lower-case hex) of the encoded certificates an
    // HTTPS server may present; empty pins nothing. The certificate is checked
    // once the request headers are sent, before any form body goes out, and
    // again after the response headers (a redirect may have changed the
    // server), before any body is read. Another certificate fails the
    // exchange with ERROR_WINHTTP_SECURE_INVALID_CERT and CertificateRejected().
    void SetPinnedCertificates(std::vector<std::string> pins) { pinnedCertificates_ = std::move(pins); }
    bool CertificateRejected() const { return certificateRejected_; }
    // The SHA-256 of the last certificate checked against the pins.
    const std::string& GetPresentedCertificate() const { return presentedCertificate_; }

    // "GET" or "POST" in any case. False on failure, with GetLastErrorCode():
    // 3 empty URL, 13 multipart data without items, 14 no memory, 87 another
    // method, ERROR_FILE_TOO_LARGE for a body in memory larger than
    // kMaxBodyInMemory, otherwise the code of the failing WinHTTP or file call
    // (ERROR_WINHTTP_INVALID_SERVER_RESPONSE for a body shorter than its
    // Content-Length, or a download with bytes but without one: such a body
    // is read to its end, counted for the progress but not written). Bytes past
    // the Content-Length are not part of the body: they are dropped. A body
    // in memory without a Content-Length (chunked, or ended by the closing
    // connection) is read to its end. The extra headers are cleared whatever
    // the outcome.
    bool Request(const std::wstring& method);

    // "Content-Type: multipart/form-data; boundary=B\r\nContent-Length: N" for
    // `data`, to be set as the extra headers of a multipart request.
    static std::wstring MakeMultipartHeader(const MULTIPART_DATA& data);

    DWORD GetLastErrorCode() const { return lastError_; }
    const std::wstring& GetResponseHeaders() const { return responseHeaders_; }
    const std::wstring& GetResponseCharset() const { return responseCharset_; }
    const std::wstring& GetResponseBody() const { return responseBody_; }
    const std::wstring& GetStatusCode() const { return statusCode_; }
    // The Content-Length header's value; 0 when the answer had none.
    uint64_t GetContentLength() const { return contentLength_; }
    // The body bytes with one zero byte after them; null when nothing was read.
    const std::shared_ptr<std::vector<char>>& GetResponseBytes() const { return responseBytes_; }

private:
    bool Fail(DWORD code);
    bool RunRequest(const std::wstring& method);
    bool ApplyUserProxy(HINTERNET request);
    bool CheckPinnedCertificate(HINTERNET request);
    bool WriteBody(HINTERNET request, const std::string& body);
    bool ReadHeaders(HINTERNET request);
    bool QueryHeaderText(HINTERNET request, DWORD infoLevel, std::wstring* text);
    // Reads the next piece of at most 10,240 bytes into `piece`; `read` 0 at the
    // end of the body. `available` carries the last query's count between calls.
    bool NextPiece(HINTERNET request, char* piece, DWORD* available, DWORD* read);
    bool ReadBodyToMemory(HINTERNET request);
    bool ReadUnannouncedBodyToMemory(HINTERNET request);
    bool ReadBodyToFile(HINTERNET request);

    std::wstring url_;
    std::wstring downloadPath_;
    std::wstring userAgent_;
    DWORD lastError_ = 0;
    ScopedInternetHandle session_;
    std::wstring extraHeaders_;
    std::shared_ptr<MULTIPART_DATA> multipartData_;
    ProgressCallback progress_;
    std::wstring responseHeaders_;
    std::wstring responseCharset_;
    std::wstring responseBody_;
    std::wstring statusCode_;
    std::shared_ptr<std::vector<char>> responseBytes_;
    uint64_t contentLength_ = 0;
    bool hasContentLength_ = false;
    std::vector<std::string> pinnedCertificates_;
    std::string presentedCertificate_;
    bool certificateRejected_ = false;
};

}  // namespace Lumen
