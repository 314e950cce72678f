// A second copy of the program for the store tests. Modes:
//   save-loop MARKER  saves two sets of settings in turn for ever, making MARKER after the first
//   write-many TAG N  writes N values of its own and a shared one, reading each back;
//                     exit 1 on a wrong read, 2 on an error
#include <fstream>
#include <iostream>

#include "savestates.h"

using namespace vantorel;

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
    if (mode == "write-many" && argc == 4) {
      const std::string tag = argv[2], path = BuildSettingsPath("Vantorel");
      for (int i = 0; i < std::stoi(argv[3]); ++i) {
        const std::string name = tag + std::to_string(i), text = "value " + std::to_string(i) + " of " + tag;
        SaveRegSetting(path, name, text);
        SaveRegSetting(path, "Shared", text);
        if (GetRegSetting(path, name, "missing") != text) return 1;
      }
      return 0;
    }
  } catch (const RegistryError& e) {
    std::cerr << e.number() << " " << e.description() << "\n";
    return 2;
  }
  std::cerr << "usage: store_helper save-loop MARKER | write-many TAG N\n";
  return 64;
}
