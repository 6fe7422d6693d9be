#pragma once

#include <map>
#include <string>

namespace PavoOperator {

// Reads a multipart/form-data body into its fields (name -> value bytes).
// Accepts a close delimiter with or without a CRLF after it (RFC 2046 makes the
// CRLF optional; the agent sends none). False when the body is malformed.
bool ParseMultipartForm(const std::string& contentType, const std::string& body,
                        std::map<std::string, std::string>* fields);

}  // namespace PavoOperator
