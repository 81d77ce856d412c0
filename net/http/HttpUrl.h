// URL handling of the HTTP client: splitting, the document target with its
// redirects, the document file name and Basic credentials. Plain C++.
#pragma once

#include <string>

// The pieces of a URL as the client reads them. All empty for an empty URL.
struct TUrlParts {
    std::string Scheme, User, Password, Host, Port, Path;
};

TUrlParts SplitUrl(const std::string& url);

// A URL, host, path or header value we are about to put on the wire must not
// carry blanks or control characters: they would split or inject request lines.
bool IsSafeUrlText(const std::string& text);

// A port text as a number 1-65535; false for anything else.
bool ParsePortNumber(const std::string& text, int& port);

// The document a request is after, and where the bytes go. Kept as parts so a
// redirect can change host or port without losing the other pieces, with or
// without a proxy in between.
struct THttpTarget {
    std::string Scheme = "http";
    std::string Host;                 // the document's host
    std::string Port;                 // the document's port as written, "" for 80
    std::string Path;                 // path and query, never empty
    std::string ProxyHost, ProxyPort; // ProxyHost empty: direct connection

    bool ViaProxy() const { return !ProxyHost.empty(); }
    std::string ConnectHost() const { return ViaProxy() ? ProxyHost : Host; }
    std::string ConnectPort() const;
    std::string HostHeader() const { return Host; }
    std::string Absolute() const; // scheme://host[:port]path
    // What follows the method in the request line: the absolute form for a proxy.
    std::string RequestPath() const { return ViaProxy() ? Absolute() : Path; }
};

// Builds the target of a URL (and a proxy text, "host[:port]", with its default
// port). Fails with a reason for a URL that cannot be fetched.
bool MakeHttpTarget(const std::string& url, const std::string& proxy, const std::string& proxyPort,
                    THttpTarget& target, TUrlParts& parts, std::string& error);

// Applies a Location value to the target. Relative values resolve against the
// current document; only http targets are followed. sameOrigin tells whether
// host and port stayed the same (credentials may only go along then).
bool ApplyRedirect(THttpTarget& target, const std::string& location, bool& sameOrigin,
                   std::string& error);

// The file name of a document path: the last segment without its query,
// "document.htm" for the root or an empty path.
std::string DocumentFileName(const std::string& path);

// RFC 2045 Base64 with "=" padding.
std::string Base64Encode(const std::string& data);
