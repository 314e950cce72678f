// A second copy of the program for the store tests. Modes:
//   save-loop MARKER  saves two sets of settings in turn for ever, making MARKER after the first
//   write-many TAG N  writes N values of its own and a shared one, reading each back;
//                     exit 1 on a wrong read, 2 on an error
//   close [WAIT_MS]   loads the settings and closes as the window does: prints what the load
//                     found and the loaded texts, then saves them back; exit 2 when the save
//                     fails, 3 when the load could not read the store (nothing saved)
//   hold-lock MARKER  holds the store's exclusive lock until killed, making MARKER once it has it
#include <sqlite3.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iostream>

#include "platform/store.h"
#include "savestates.h"

using namespace vantorel;

namespace {

std::optional<int> Count(const char* text) {
  int n = 0;
  const char* end = text + std::char_traits<char>::length(text);
  const auto r = std::from_chars(text, end, n);
  if (r.ec != std::errc() || r.ptr != end || n < 0) return std::nullopt;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "save-loop" && argc == 3) {
      SaveData(storetest::StateB());
      std::ofstream(argv[2]) << "saving\n";
      for (;;) {
        SaveData(storetest::StateA());
        SaveData(storetest::StateB());
      }
    }
    const auto n = argc > 3 ? Count(argv[3]) : std::nullopt;
    if (mode == "write-many" && argc == 4 && n) {
      const std::string tag = argv[2], path = BuildSettingsPath("Vantorel");
      for (int i = 0; i < *n; ++i) {
        const std::string name = tag + std::to_string(i), text = "value " + std::to_string(i) + " of " + tag;
        SaveRegSetting(path, name, text);
        SaveRegSetting(path, "Shared", text);
        if (GetRegSetting(path, name, "missing") != text) return 1;
      }
      return 0;
    }
    const auto wait = argc == 3 ? Count(argv[2]) : std::nullopt;
    if (mode == "close" && (argc == 2 || wait)) {
      if (wait) platform::store::testing::SetLockWait(*wait);
      State s;
      s.SettingsPath = BuildSettingsPath("Vantorel");
      const LoadResult r = LoadData(s);
      static const char* const kKinds[] = {"missing", "read", "unreadable"};
      std::cout << kKinds[static_cast<int>(r.kind)] << "\n" << storetest::Joined(s) << "\n" << r.problems << "\n";
      if (!r.MaySave()) {
        std::cout << NotSavedMessage(r) << "\n";
        return 3;
      }
      SaveData(s);
      return 0;
    }
    if (mode == "hold-lock" && argc == 3) {
      sqlite3* db = nullptr;
      if (sqlite3_open_v2(platform::store::FilePath().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
          sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return 2;
      std::ofstream(argv[2]) << "locked\n";
      for (;;) pause();
    }
  } catch (const RegistryError& e) {
    std::cerr << e.number() << " " << e.description() << "\n";
    return 2;
  }
  std::cerr << "usage: store_helper save-loop MARKER | write-many TAG N | close [WAIT_MS] | hold-lock MARKER\n";
  return 64;
}
