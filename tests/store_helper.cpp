// A second copy of the program for the store tests. Modes:
//   save-loop MARKER  saves two sets of settings in turn for ever, making MARKER after the first
//   write-many TAG N  writes N values of its own and a shared one, reading each back;
//                     exit 1 on a wrong read, 2 on an error
//   close [WAIT_MS]   loads the settings and closes as the window does: prints what the load
//                     found and the loaded texts, then saves them back; exit 2 when the save
//                     fails, 3 when the load could not read the store (nothing saved)
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "platform/store.h"
#include "savestates.h"

using namespace vantorel;

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const long n = argc > 2 ? std::strtol(argv[argc - 1], nullptr, 10) : 0;  // the count or wait, if any
  try {
    if (mode == "save-loop" && argc == 3) {
      SaveData(storetest::StateB());
      std::ofstream(argv[2]) << "saving\n";
      for (;;) SaveData(storetest::StateA()), SaveData(storetest::StateB());
    }
    if (mode == "write-many" && argc == 4) {
      const std::string tag = argv[2], path = BuildSettingsPath("Vantorel");
      for (long i = 0; i < n; ++i) {
        const std::string name = tag + std::to_string(i), text = "value " + std::to_string(i) + " of " + tag;
        SaveRegSetting(path, name, text);
        SaveRegSetting(path, "Shared", text);
        if (GetRegSetting(path, name, "missing") != text) return 1;
      }
      return 0;
    }
    if (mode == "close" && argc <= 3) {
      if (argc == 3) platform::store::testing::SetLockWait(static_cast<int>(n));
      State s;
      s.SettingsPath = BuildSettingsPath("Vantorel");
      const LoadResult r = LoadData(s);
      static const char* const kKinds[] = {"missing", "read", "unreadable"};
      std::cout << kKinds[static_cast<int>(r.kind)] << "\n" << storetest::Joined(s) << "\n" << r.problems << "\n";
      if (!r.MaySave()) return std::cout << NotSavedMessage(r) << "\n", 3;
      SaveData(s);
      return 0;
    }
  } catch (const RegistryError& e) {
    std::cerr << e.number() << " " << e.description() << "\n";
    return 2;
  }
  std::cerr << "usage: store_helper save-loop MARKER | write-many TAG N | close [WAIT_MS]\n";
  return 64;
}
