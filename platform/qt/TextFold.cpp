#include "platform/qt/TextFold.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Letters that keep their mark through decomposition, as they are written
// without it; apostrophes as the keyboard's.
const char* Spelt(char32_t c) {
    switch (c) {
    case U'ß':
    case U'ẞ':
        return "ss";
    case U'æ':
    case U'Æ':
        return "ae";
    case U'œ':
    case U'Œ':
        return "oe";
    case U'ø':
    case U'Ø':
        return "o";
    case U'đ':
    case U'Đ':
    case U'ð':
    case U'Ð':
        return "d";
    case U'ł':
    case U'Ł':
        return "l";
    case U'ħ':
    case U'Ħ':
        return "h";
    case U'ŧ':
    case U'Ŧ':
        return "t";
    case U'ı':
        return "i";
    case U'þ':
    case U'Þ':
        return "th";
    case U'ĸ':
        return "k";
    case U'\u00B4': // acute accent
    case U'\u02BB': // turned comma (okina)
    case U'\u02BC': // modifier apostrophe
    case U'\u2018':
    case U'\u2019':
        return "'";
    default:
        return nullptr;
    }
}

void FoldCodePoint(char32_t c, std::string& out, int depth) {
    if (c < 0x80) {
        out += char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        return;
    }
    if (const char* s = Spelt(c)) {
        out += s;
        return;
    }
    if (QChar::isMark(c)) return;
    // Hangul syllables stay whole: their parts are not what anyone types.
    if (depth < 4 && (c < 0xAC00 || c > 0xD7A3)) {
        const QString d = QChar::decomposition(c);
        if (!d.isEmpty()) {
            for (char32_t u : d.toUcs4())
                FoldCodePoint(u, out, depth + 1);
            return;
        }
    }
    const char32_t f = QChar::toCaseFolded(c);
    if (f != c && depth < 4) return FoldCodePoint(f, out, depth + 1);
    AppendUtf8(out, c);
}

// The folded pieces of the code points that names are written in (Latin,
// Greek, Cyrillic, Arabic, Indic, Latin Extended Additional), made once.
constexpr char32_t kTableEnd = 0x2000;
struct TFoldTable {
    std::string Text;
    std::vector<uint32_t> Start; // kTableEnd + 1 offsets into Text
    TFoldTable() {
        Start.reserve(kTableEnd + 1);
        for (char32_t c = 0; c < kTableEnd; ++c) {
            Start.push_back(uint32_t(Text.size()));
            FoldCodePoint(c, Text, 0);
        }
        Start.push_back(uint32_t(Text.size()));
    }
    std::string_view Piece(char32_t c) const {
        return std::string_view(Text).substr(Start[c], Start[c + 1] - Start[c]);
    }
};

const TFoldTable& Table() {
    static const TFoldTable table;
    return table;
}

// One code point of well-formed UTF-8 at s[i]; its length, or 0 when the
// byte there does not start one.
size_t Decode(std::string_view s, size_t i, char32_t& c) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        c = (c << 6) | (t & 0x3F);
    }
    if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

// The folded bytes of a text one at a time.
class TFoldCursor {
public:
    explicit TFoldCursor(std::string_view s) : S(s) {}
    // The next byte, or -1 at the end.
    int Next() {
        while (Pending.empty()) {
            if (I >= S.size()) return -1;
            const auto b = static_cast<unsigned char>(S[I]);
            if (b < 0x80) {
                ++I;
                return b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b;
            }
            char32_t c = 0;
            const size_t n = Decode(S, I, c);
            if (n == 0) {
                ++I;
                return b;
            }
            I += n;
            if (c < kTableEnd) {
                Pending = Table().Piece(c);
            } else {
                Slow.clear();
                FoldCodePoint(c, Slow, 0);
                Pending = Slow;
            }
        }
        const auto r = static_cast<unsigned char>(Pending.front());
        Pending.remove_prefix(1);
        return r;
    }

private:
    std::string_view S;
    size_t I = 0;
    std::string_view Pending;
    std::string Slow;
};

} // namespace

void FoldText(std::string_view text, std::string& out) {
    out.clear();
    size_t i = 0;
    // Most names are ASCII: their bytes need only lower case.
    for (; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80) break;
        out += char(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
    }
    if (i == text.size()) return;
    TFoldCursor cursor(text.substr(i));
    for (int b; (b = cursor.Next()) >= 0;)
        out += char(b);
}

std::string FoldedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    FoldText(text, out);
    return out;
}

int CompareFolded(std::string_view a, std::string_view b) {
    size_t i = 0;
    const size_t n = std::min(a.size(), b.size());
    for (; i < n; ++i) {
        const auto p = static_cast<unsigned char>(a[i]), q = static_cast<unsigned char>(b[i]);
        if ((p | q) >= 0x80) break;
        const int x = p >= 'A' && p <= 'Z' ? p + ('a' - 'A') : p;
        const int y = q >= 'A' && q <= 'Z' ? q + ('a' - 'A') : q;
        if (x != y) return x < y ? -1 : 1;
    }
    TFoldCursor x(a.substr(i)), y(b.substr(i));
    for (;;) {
        const int p = x.Next(), q = y.Next();
        if (p != q) return p < q ? -1 : 1;
        if (p < 0) return 0;
    }
}
