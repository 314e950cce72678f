// PDF files on Windows come through the system's "Microsoft Print to PDF"
// printer, with the rest of the Windows printing; until then a plain refusal.
#include "platform/pdf.h"

namespace vantorel::platform {

std::optional<std::string> WriteNewPdf(const std::string& path, const std::string&, const DrawDocument&) {
  return "Cannot make " + path + ": PDF files come with the Windows printing support of a later version.";
}

}  // namespace vantorel::platform
