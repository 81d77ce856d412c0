// The request lines the HTTP client sends, built from its settings.
#pragma once

#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

struct THttpRequestFields {
    std::string Method = "GET";
    std::string RequestPath = "/";
    std::string Version = "1.0";
    std::string Sender, Accept, Reference, ContentTypePost, Agent, HostHeader;
    bool NoCache = false;
    bool IsPost = false;
    long long PostLength = 0;
    TDateTime ModifiedSince = 0; // a UTC time; 0: not sent
    std::string Username, Password;
    bool ViaProxy = false;
    std::string ProxyUsername, ProxyPassword;
    std::string Cookie;
    std::string RangeBegin, RangeEnd;
};

// The header lines in sending order, without the empty line that ends them.
// False when a value would break a line (CR or LF inside): nothing is sent then.
bool BuildHttpRequest(const THttpRequestFields& f, std::vector<std::string>& lines);

// "Tue, 08 Dec 2026 20:15:00" (the caller adds " GMT").
std::string HttpDateText(TDateTime dt);
