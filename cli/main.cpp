#include <iostream>

#include "cli/fitcli.h"
#include "platform/files.h"
#include "platform/store.h"

int main(int argc, char** argv) {
  const auto store = vantorel::platform::OpenProgramStore();
  return vantorel::RunFitCli(vantorel::platform::ProgramArguments(argc, argv), std::cout, std::cerr, *store);
}
