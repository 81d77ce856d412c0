// String, number, font and password helpers shared by every program of the
// suite. Positions count from 1; comparisons are exact and case-sensitive.
#pragma once

#include "platform/rtl/Graphics.h"

#include <string>

// The path unchanged when it ends in "\", else the path + "\".
std::string AddBackslash(const std::string& path);
// Characters at start .. start+count-1 that lie within the text.
std::string SubString(const std::string& text, int start, int count);
// From start up to, not including, the next delimiter (or the end); empty when
// start is outside the text or stands on a delimiter.
std::string ReadToken(const std::string& text, char delimiter, int start);
// The text through the last occurrence of c; empty when c does not occur.
std::string UpToLast(const std::string& text, char c);
// An empty pattern is always contained.
bool ContainsStr(const std::string& text, const std::string& pattern);
// Tolerant reader: either decimal separator, "$" read as 0, a "%" divides by
// 100; empty text gives 0. Raises EConvertError on text that does not convert.
double ParseFloat(const std::string& text);
std::string ReplaceChar(const std::string& text, char oldChar, char newChar);
std::string RemoveChar(const std::string& text, char c);

// Reversible scrambling of a stored password as five-digit groups.
std::string ScramblePassword(const std::string& password);
// Raises EConvertError on a group that is not a number or on more than 128 groups.
std::string UnscramblePassword(const std::string& digits);

// Command lines with "\" paths: directory (through the last "\"), program name
// (up to the first blank after it) and the rest (its leading blank included).
std::string ExtractDirPart(const std::string& commandLine);
std::string ExtractProgramName(const std::string& commandLine);
std::string ExtractProgramParams(const std::string& commandLine);

// name TAB colour TAB height TAB size TAB charset TAB four Y/N letters
// (bold, italic, underline, strike-out).
std::string FontToString(const TFont& font);
// Raises EConvertError when a number field does not convert.
TFont StringToFont(const std::string& text);

// The n-th delimited field (1-based); empty fields count.
std::string GetField(const std::string& text, char delimiter, int n);
// Converts by StrToInt: optional sign, decimal digits, 32-bit range.
bool IsInteger(const std::string& text);
std::string BoolToText(bool value);
// True for exactly "True" or "T".
bool TextToBool(const std::string& text);
