// Fonts and colours as the class library describes them: plain values that the
// records carry and the Qt layer turns into QFont/QColor when it draws.
#pragma once

#include <cstdint>
#include <string>

// The class library's colour integer: $00BBGGRR for plain colours; system
// colours are negative.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = int32_t(0x8000000F);
constexpr TColor clWindow = int32_t(0x80000005);
constexpr TColor clWindowText = int32_t(0x80000008);

inline int GetRValue(TColor c) { return c & 0xFF; }
inline int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
inline int GetBValue(TColor c) { return (c >> 16) & 0xFF; }
inline TColor RGB(int r, int g, int b) { return TColor((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16)); }

// A font description with the class library's defaults.
struct TFont {
    std::string Name = "MS Sans Serif";
    TColor Color = clWindowText;
    int Height = -11; // negative: character height in pixels
    int Size = 8;     // points
    int Charset = 1;  // DEFAULT_CHARSET
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;

    void Assign(const TFont& other) { *this = other; }
    bool operator==(const TFont&) const = default;
};
