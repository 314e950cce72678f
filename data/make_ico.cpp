// Writes the program's icon as a Windows icon file, drawn from
// platform/icon.cpp, for the resources of the Windows programs and their
// installer. Built and run on the build machine.
// Usage: make_ico FILE
#include <cstdio>
#include <fstream>

#include "platform/icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_ico FILE\n");
    return 64;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << vantorel::platform::ProgramIconFile();
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_ico: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
