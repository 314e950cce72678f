#include <iostream>

#include "cli/fitcli.h"
#include "linux/sqlitestore.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  vantorel::platform::SqliteStore store;
  return vantorel::RunFitCli(vantorel::platform::ProgramArguments(argc, argv), std::cout, std::cerr, store);
}
