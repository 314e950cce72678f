// Writes the program's icon for the web app manifest, drawn from
// platform/icon.cpp: a SIZE by SIZE picture as a PAM file (which ImageMagick
// turns into PNG), or the scalable SVG icon. Built and run on the build
// machine.
// Usage: make_web_icons SIZE FILE | make_web_icons svg FILE
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_web_icons SIZE|svg FILE\n");
    return 64;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  const std::string what = argv[1];
  if (what == "svg") {
    out << vantorel::platform::ProgramIconSvg();
  } else {
    const int size = std::stoi(what);
    const vantorel::platform::IconPixels icon = vantorel::platform::ProgramIconPixels(size);
    out << "P7\nWIDTH " << icon.size << "\nHEIGHT " << icon.size
        << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (const std::uint32_t p : icon.argb) {
      const char rgba[4] = {static_cast<char>((p >> 16) & 0xFF), static_cast<char>((p >> 8) & 0xFF),
                            static_cast<char>(p & 0xFF), static_cast<char>(p >> 24)};
      out.write(rgba, 4);
    }
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_web_icons: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
