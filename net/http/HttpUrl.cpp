#include "net/http/HttpUrl.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == prefix;
}

void SplitAuthority(const std::string& authority, TUrlParts& p) {
    const auto colon = authority.rfind(':');
    const auto at = authority.rfind('@');
    const bool hasColon = colon != std::string::npos;
    const bool hasAt = at != std::string::npos;
    if (hasColon && (!hasAt || colon > at)) {
        p.Port = authority.substr(colon + 1);
        const size_t hostStart = hasAt ? at + 1 : 0;
        p.Host = authority.substr(hostStart, colon - hostStart);
    } else if (hasAt) {
        p.Host = authority.substr(at + 1);
    } else {
        p.Host = authority;
    }
    if (hasAt) {
        const std::string info = authority.substr(0, at);
        const auto sep = info.find(':');
        if (sep == std::string::npos) {
            p.User = info;
        } else {
            p.User = info.substr(0, sep);
            p.Password = info.substr(sep + 1);
        }
    }
}

} // namespace

TUrlParts SplitUrl(const std::string& url) {
    TUrlParts p;
    if (url.empty()) return p;
    std::string rest;
    const auto sep = url.find("://");
    if (sep != std::string::npos) {
        p.Scheme = url.substr(0, sep);
        rest = url.substr(sep + 3);
    } else if (url[0] == '/') {
        p.Scheme = "http";
        if (url.size() < 2 || url[1] != '/') {
            p.Path = url;
            return p;
        }
        rest = url.substr(1);
    } else if (StartsWithNoCase(url, "http:")) {
        p.Scheme = "http";
        if (url.size() > 6 && url[6] != '/') {
            p.Path = url.substr(5);
            return p;
        }
        rest = url.size() > 6 ? url.substr(6) : std::string();
    } else if (StartsWithNoCase(url, "mailto:")) {
        p.Scheme = "mailto";
        rest = url.substr(url.find(':') + 1);
    } else {
        rest = url;
    }
    const auto slash = rest.find('/');
    const std::string authority = slash == std::string::npos ? rest : rest.substr(0, slash);
    if (slash != std::string::npos) p.Path = rest.substr(slash);
    SplitAuthority(authority, p);
    return p;
}

bool IsSafeUrlText(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7f;
    });
}

bool ParsePortNumber(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

std::string THttpTarget::ConnectPort() const {
    if (ViaProxy()) return ProxyPort.empty() ? std::string("80") : ProxyPort;
    return Port.empty() ? std::string("80") : Port;
}

std::string THttpTarget::Absolute() const {
    return Scheme + "://" + Host + (Port.empty() ? std::string() : ":" + Port) + Path;
}

bool MakeHttpTarget(const std::string& url, const std::string& proxy, const std::string& proxyPort,
                    THttpTarget& target, TUrlParts& parts, std::string& error) {
    if (!IsSafeUrlText(url)) {
        error = "Invalid URL";
        return false;
    }
    parts = SplitUrl(url);
    THttpTarget t;
    t.Scheme = parts.Scheme.empty() ? "http" : parts.Scheme;
    if (Lower(t.Scheme) != "http") {
        error = "Unsupported protocol: " + t.Scheme;
        return false;
    }
    t.Host = parts.Host;
    t.Port = parts.Port;
    t.Path = parts.Path.empty() ? "/" : parts.Path;
    int number = 0;
    if (t.Host.empty() || (!t.Port.empty() && !ParsePortNumber(t.Port, number))) {
        error = "Invalid URL";
        return false;
    }
    if (!proxy.empty()) {
        if (!IsSafeUrlText(proxy)) {
            error = "Invalid proxy";
            return false;
        }
        const TUrlParts pp = SplitUrl(proxy);
        t.ProxyHost = pp.Host;
        t.ProxyPort = pp.Port.empty() ? proxyPort : pp.Port;
        if (t.ProxyHost.empty() || !ParsePortNumber(t.ConnectPort(), number)) {
            error = "Invalid proxy";
            return false;
        }
    }
    target = t;
    return true;
}

bool ApplyRedirect(THttpTarget& target, const std::string& location, bool& sameOrigin,
                   std::string& error) {
    sameOrigin = true;
    if (location.empty() || !IsSafeUrlText(location)) {
        error = "Invalid redirect";
        return false;
    }
    THttpTarget next = target;
    if (location.rfind("//", 0) == 0) {
        // Same scheme, another host.
        return ApplyRedirect(target, target.Scheme + ":" + location, sameOrigin, error);
    }
    if (location[0] == '/') {
        next.Path = location;
    } else if (location.find("://") != std::string::npos) {
        const TUrlParts p = SplitUrl(location);
        int number = 0;
        if (Lower(p.Scheme) != "http") {
            error = "Unsupported redirect: " + location;
            return false;
        }
        if (p.Host.empty() || (!p.Port.empty() && !ParsePortNumber(p.Port, number))) {
            error = "Invalid redirect";
            return false;
        }
        next.Scheme = p.Scheme;
        next.Host = p.Host;
        next.Port = p.Port == "80" ? std::string() : p.Port;
        next.Path = p.Path.empty() ? "/" : p.Path;
    } else {
        // A name relative to the current document's folder (or a new query).
        const std::string base = target.Path.substr(0, target.Path.find('?'));
        if (location[0] == '?')
            next.Path = base + location;
        else
            next.Path = base.substr(0, base.rfind('/') + 1) + location;
    }
    const std::string oldPort = target.Port == "80" ? std::string() : target.Port;
    sameOrigin = Lower(next.Host) == Lower(target.Host) && next.Port == oldPort;
    target = next;
    return true;
}

std::string DocumentFileName(const std::string& path) {
    if (path.empty() || path == "/") return "document.htm";
    std::string p = path;
    if (p.back() == '/') p.pop_back();
    std::string name = p.substr(p.rfind('/') + 1);
    if (name.size() > 255) name.resize(255);
    const auto query = name.find('?');
    if (query != std::string::npos) name.resize(query);
    return name;
}

std::string Base64Encode(const std::string& data) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                           (static_cast<unsigned char>(data[i + 1]) << 8) |
                           static_cast<unsigned char>(data[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < data.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}
