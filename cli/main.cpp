#include <iostream>

#include "cli/fitcli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vantorel::RunFitCli(args, std::cout, std::cerr);
}
