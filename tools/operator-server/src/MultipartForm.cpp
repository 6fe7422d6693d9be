#include "MultipartForm.h"

#include <regex>

namespace PavoOperator {

namespace {

std::string Boundary(const std::string& contentType)
{
    static const std::regex kBoundary(R"(^multipart/form-data\s*;.*boundary=\"?([^\";]+)\"?)", std::regex::icase);
    std::smatch match;
    return std::regex_search(contentType, match, kBoundary) ? match[1].str() : std::string();
}

}  // namespace

bool ParseMultipartForm(const std::string& contentType, const std::string& body,
                        std::map<std::string, std::string>* fields)
{
    fields->clear();
    const std::string boundary = Boundary(contentType);
    if (boundary.empty()) return false;
    const std::string delimiter = "--" + boundary;
    const std::string next = "\r\n" + delimiter;
    static const std::regex kName(R"(^content-disposition:\s*form-data\s*;\s*name=\"([^\"]*)\")",
                                  std::regex::icase | std::regex::multiline);

    if (body.compare(0, delimiter.size(), delimiter) != 0) return false;
    size_t at = delimiter.size();
    for (;;) {
        if (body.compare(at, 2, "--") == 0) {
            // The close delimiter: nothing but an optional CRLF may follow.
            const std::string rest = body.substr(at + 2);
            return rest.empty() || rest == "\r\n";
        }
        if (body.compare(at, 2, "\r\n") != 0) return false;
        at += 2;
        const size_t headEnd = body.find("\r\n\r\n", at);
        if (headEnd == std::string::npos) return false;
        const std::string head = body.substr(at, headEnd + 2 - at);
        std::smatch name;
        if (!std::regex_search(head, name, kName)) return false;
        const size_t valueStart = headEnd + 4;
        const size_t valueEnd = body.find(next, valueStart);
        if (valueEnd == std::string::npos) return false;
        (*fields)[name[1].str()] = body.substr(valueStart, valueEnd - valueStart);
        at = valueEnd + next.size();
    }
}

}  // namespace PavoOperator
