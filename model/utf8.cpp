#include "model/utf8.h"

namespace vantorel {

bool DecodeUtf8At(std::string_view s, size_t i, char32_t& cp, size_t& len) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = b(0);
  char32_t min = 0;
  if (c < 0x80) {
    cp = c;
    len = 1;
    return true;
  }
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, cp = c & 0x1Fu, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, cp = c & 0x0Fu, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, cp = c & 0x07u, min = 0x10000;
  } else {
    return false;
  }
  if (i + len > s.size()) return false;
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b(k) & 0x3Fu);
  }
  return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

std::vector<char32_t> DecodeUtf8(std::string_view s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    size_t len = 0;
    if (DecodeUtf8At(s, i, cp, len)) {
      out.push_back(cp);
      i += len;
    } else {
      out.push_back(0xFFFD);
      ++i;
    }
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string FoldCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
      ++i;
      continue;
    }
    char32_t cp = 0;
    size_t len = 0;
    if (DecodeUtf8At(s, i, cp, len)) {
      AppendUtf8(out, SimpleCaseFold(cp));
      i += len;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  return out;
}

}  // namespace vantorel
