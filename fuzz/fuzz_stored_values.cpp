// The load of the saved settings from arbitrary stored values: each of the
// values the load reads gets a type tag and bytes from the input, is decoded
// as a read of the store decodes it, and goes through the load's conversions.
#include <QLocale>
#include <cstdint>
#include <map>
#include <string>

#include "fuzzcheck.h"
#include "settings/registry.h"
#include "settings/settings.h"

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kLocales[] = {"C", "de_DE", "sv_SE", "ar_EG"};
  size_t pos = 0;
  auto byte = [&]() -> uint8_t { return pos < size ? data[pos++] : 0; };
  const std::string point = QLocale(kLocales[byte() % 4]).decimalPoint().toStdString();

  // Per value read, in the load's order: a presence/type byte, a length byte,
  // then the bytes.
  std::map<std::string, RegValue> stored;
  auto decodeNext = [&](const std::string& name) {
    const uint8_t tag = byte();
    if (tag == 0) return;  // missing
    const int32_t type = tag < 16 ? tag : static_cast<int32_t>(static_cast<uint32_t>(tag) * 0x01010101u);
    const size_t len = byte();
    const size_t take = len < size - pos ? len : size - pos;
    const std::string bytes(reinterpret_cast<const char*>(data + pos), take);
    pos += take;
    stored[name] = DecodeStoredValue(type, bytes);
  };
  for (int i = 0; i < kRows; ++i) {
    decodeNext("R(" + std::to_string(i) + ")");
    decodeNext("C(" + std::to_string(i) + ")");
  }
  for (int i = 0; i < kRows; ++i) decodeNext("Tick(" + std::to_string(i) + ")");
  for (const char* n : {"oMV", "oBC", "oSH", "oZR", "oCPM", "Metric"}) decodeNext(n);

  State s;
  LoadDataFrom(
      s,
      [&](const std::string& name) -> std::optional<std::string> {
        const auto it = stored.find(name);
        if (it == stored.end()) return std::nullopt;
        return it->second.ToText();
      },
      point);
  fuzzcheck::LoadedStateIsUsable(s);
  return 0;
}
