// Text as a user means it when finding or ordering names: without regard to
// case or accents. "Tromsø", "TROMSO" and "tromso" are one text, and so are
// "Zürich" and "Zurich", "Straße" and "STRASSE", "Ærø" and "aero".
#pragma once

#include <string>
#include <string_view>

// The folded form of UTF-8 text: case folded, accents and other marks
// dropped after Unicode (compatibility) decomposition, and the letters that
// do not decompose spelt as their readers spell them without the mark
// (ø o, æ ae, œ oe, ß ss, ł l, đ and ð d, þ th). Typographic apostrophes
// read as "'". Bytes that are not UTF-8 stay as they are.
std::string FoldedText(std::string_view text);
// The same into out, whose room is kept for the next text.
void FoldText(std::string_view text, std::string& out);

// The order and equality of the folded texts, without building them.
int CompareFolded(std::string_view a, std::string_view b);
inline bool SameFolded(std::string_view a, std::string_view b) {
    return CompareFolded(a, b) == 0;
}
