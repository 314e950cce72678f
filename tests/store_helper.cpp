// A second copy of the program for the store tests. Modes:
//   save-loop MARKER     saves two different sets of settings in turn, for
//                        ever (the test kills it at a random moment); makes
//                        the file MARKER once the first save is done
//   write-many TAG N     writes N values of its own and a shared one, reading
//                        each back; exit 1 on a wrong read, 2 on an error
//   save-default         saves the default settings once
#include <fstream>
#include <iostream>
#include <string>

#include "savestates.h"
#include "shell/settings.h"

using namespace vantorel;

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "save-loop" && argc == 3) {
      const State a = storetest::StateA(), b = storetest::StateB();
      SaveData(b);
      std::ofstream(argv[2]) << "saving\n";
      for (;;) {
        SaveData(a);
        SaveData(b);
      }
    }
    if (mode == "write-many" && argc == 4) {
      const std::string tag = argv[2];
      const int n = std::stoi(argv[3]);
      const std::string path = BuildSettingsPath("Vantorel");
      for (int i = 0; i < n; ++i) {
        const std::string name = tag + std::to_string(i);
        const std::string text = "value " + std::to_string(i) + " of " + tag;
        SaveRegSetting(path, name, text);
        SaveRegSetting(path, "Shared", text);
        if (GetRegSetting(path, name, "missing") != text) {
          std::cerr << "read back wrong: " << name << "\n";
          return 1;
        }
      }
      return 0;
    }
    if (mode == "save-default") {
      SaveData(storetest::StateA());
      return 0;
    }
  } catch (const RegistryError& e) {
    std::cerr << e.number() << " " << e.source() << " " << e.description() << "\n";
    return 2;
  }
  std::cerr << "usage: store_helper save-loop MARKER | write-many TAG N | save-default\n";
  return 64;
}
