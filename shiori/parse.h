// Requests: the request line and headers, the dispatcher and the handlers of
// every request type, and the response layout.
#pragma once

#include <string>

#include "UTypes.h"

std::string RequestLine(const std::string& request);
std::string HeaderValue(const std::string& text, const std::string& name);
std::string HeaderValues(const std::string& text, const std::string& name);
void ReadReferences(const std::string& text, TReferences& references);
void ClearReferences(TReferences& references);

// One request text in, the complete "SHIORI/2.5" response out.
std::string HandleRequest(const std::string& request);

// Nothing kept between requests; present for the attach order.
void ResetParse();
