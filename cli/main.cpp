#include <iostream>

#include "cli/fitcli.h"
#include "linux/sqlitestore.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vantorel::platform::SqliteStore store;
  return vantorel::RunFitCli(args, std::cout, std::cerr, store);
}
