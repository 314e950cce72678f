#include <iostream>

#include "cli/fitcli.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  return vantorel::RunFitCli(vantorel::platform::ProgramArguments(argc, argv), std::cout, std::cerr);
}
