// Whole store files: a real store (made once at start) damaged by the input
// (byte patches and a truncation) is loaded as the window's load does. The
// load must give a usable state, and a save must then work, on the damaged
// store or on the fresh one that took its place.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzzcheck.h"
#include "sqlite/sqlitestore.h"
#include "settings/settings.h"

using namespace vantorel;
namespace fs = std::filesystem;

namespace {

sqlite::SqliteStore gStore;
fs::path gConfig;
std::string gImage;  // the bytes of a valid store with every value saved

fs::path StoreFolder() { return gConfig / "Morvale Services"; }

State Saved() {
  State s = DefaultState();
  s.SettingsPath = BuildSettingsPath("Vantorel");
  s.ModelBC = Variant::Text("0.0275", 0.0275);
  s.Ticked[3] = 2;
  return s;
}

void CleanUp() {
  std::error_code ec;
  if (!gConfig.empty()) fs::remove_all(gConfig, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory where there is a /dev/shm: every save flushes each value to
  // the disk, which would leave a few runs a second.
  const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::string tmpl = (base / "vantorel-fuzz-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) abort();
  gConfig = tmpl;
  setenv("XDG_CONFIG_HOME", gConfig.c_str(), 1);
  atexit(CleanUp);
  SaveData(gStore, Saved());
  gStore.CloseConnection();
  std::ifstream in(StoreFolder() / "registry.sqlite3", std::ios::binary);
  gImage.assign(std::istreambuf_iterator<char>(in), {});
  if (gImage.empty()) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Input: a truncation (2 bytes, 0 = none), then patches of (offset: 2 bytes,
  // length: 1 byte, bytes).
  std::string image = gImage;
  size_t pos = 0;
  auto u16 = [&]() -> size_t {
    size_t v = 0;
    for (int k = 0; k < 2; ++k) v = (v << 8) | (pos < size ? data[pos++] : 0);
    return v;
  };
  const size_t cut = u16();
  while (pos < size) {
    const size_t offset = u16() % image.size();
    const size_t len = pos < size ? data[pos++] : 0;
    for (size_t k = 0; k < len && pos < size; ++k) image[(offset + k) % image.size()] = static_cast<char>(data[pos++]);
  }
  if (cut != 0) image.resize(cut % image.size());

  fs::create_directories(StoreFolder());
  {
    std::ofstream out(StoreFolder() / "registry.sqlite3", std::ios::binary | std::ios::trunc);
    out << image;
  }
  State s;
  s.SettingsPath = BuildSettingsPath("Vantorel");
  LoadData(gStore, s);
  fuzzcheck::LoadedStateIsUsable(s);
  try {
    SaveData(gStore, Saved());
    State again;
    again.SettingsPath = s.SettingsPath;
    LoadData(gStore, again);
    fuzzcheck::LoadedStateIsUsable(again);
  } catch (const RegistryError&) {
    // A damaged store that still passes the integrity check may refuse a
    // write (say a later layout number): refused, not crashed.
  }
  gStore.CloseConnection();
  std::error_code ec;
  fs::remove_all(StoreFolder(), ec);
  return 0;
}
