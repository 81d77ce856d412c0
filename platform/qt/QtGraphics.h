// The records' plain fonts and colours as Qt draws them.
#pragma once

#include "platform/rtl/Graphics.h"

#include <QColor>
#include <QFont>

// System colours of the class library (negative values, the low byte is the
// system colour index).
constexpr TColor clWindowFrame = int32_t(0x80000006);
constexpr TColor clBtnShadow = int32_t(0x80000010);
constexpr TColor clBtnText = int32_t(0x80000012);
constexpr TColor clBtnHighlight = int32_t(0x80000014);
constexpr TColor cl3DDkShadow = int32_t(0x80000015);
constexpr TColor cl3DLight = int32_t(0x80000016);

QColor ToQColor(TColor c);
// Negative heights are pixel heights, as the records store them; positive
// ones are points.
QFont ToQFont(const TFont& f);
// The character height in pixels that the record's font stands for.
int FontPixelHeight(const TFont& f);
// The record's colour of a Qt colour (alpha dropped).
TColor FromQColor(const QColor& c);
// A font chosen in Qt as the record stores it: pixel height negative; colour
// and charset, which Qt fonts do not carry, come from Base.
TFont FromQFont(const QFont& q, const TFont& base);
