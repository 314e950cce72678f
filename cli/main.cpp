#include <sstream>

#include "cli/fitcli.h"
#include "platform/files.h"
#include "platform/store.h"

int main(int argc, char** argv) {
  const auto store = vantorel::platform::OpenProgramStore();
  // The report and the messages go out whole, through the system's own text
  // output (on a Windows console, as UTF-16).
  std::ostringstream out, err;
  int status = vantorel::RunFitCli(vantorel::platform::ProgramArguments(argc, argv), out, err, *store);
  if (!vantorel::platform::WriteStandard(false, out.str()) && status == 0) status = 1;
  vantorel::platform::WriteStandard(true, err.str());
  return status;
}
