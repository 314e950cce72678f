// UTF-8 decoding and encoding for the program's 8-bit texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

// One UTF-8 sequence starting at s[i]: its code point and length; false for
// an invalid one (overlong forms, surrogates and values above U+10FFFF
// included, and a sequence cut short by the end of s).
bool DecodeUtf8At(std::string_view s, size_t i, char32_t& cp, size_t& len);

// All code points of s; each byte that starts no valid sequence gives U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view s);

// Appends the UTF-8 form of cp.
void AppendUtf8(std::string& out, char32_t cp);

// Unicode simple case folding of one code point (model/casefold.cpp).
char32_t SimpleCaseFold(char32_t cp);
// s with every code point simply case-folded; a byte that starts no valid
// sequence is kept as it is, so it matches only itself.
std::string FoldCase(std::string_view s);

}  // namespace vantorel
