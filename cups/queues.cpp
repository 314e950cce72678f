#include "cups/queues.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <type_traits>

#include "platform/detached.h"

namespace vantorel::cups {

const Library& Cups() {
  static const Library cups = [] {
    Library c;
    void* library = dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = dlerror();
      c.missing = why ? why : "libcups.so.2 cannot be loaded";
      return c;
    }
    const auto find = [&c, library](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      if (!function && c.missing.empty()) c.missing = std::string("libcups.so.2 has no ") + name;
    };
    find(c.server, "cupsServer");
    find(c.port, "ippPort");
    find(c.encryption, "cupsEncryption");
    find(c.connect, "httpConnect2");
    find(c.setTimeout, "httpSetTimeout");
    find(c.shutdown, "httpShutdown");
    find(c.close, "httpClose");
    find(c.getDests, "cupsGetDests2");
    find(c.freeDests, "cupsFreeDests");
    find(c.lastError, "cupsLastError");
    find(c.lastErrorString, "cupsLastErrorString");
    return c;
  }();
  return cups;
}

Queues AskQueues(int waitMs) {
  using Clock = std::chrono::steady_clock;
  struct Wait {
    Clock::time_point until;
    bool over = false;
  } wait{Clock::now() + std::chrono::milliseconds(waitMs)};
  Queues q;
  const Library& cups = Cups();
  if (!cups.missing.empty()) {
    q.outcome = Queues::Outcome::Failed;
    q.reason = cups.missing;
    return q;
  }
  q.server = cups.server();
  http_t* http = cups.connect(q.server.c_str(), cups.port(), nullptr, AF_UNSPEC, cups.encryption(), 1,
                              std::max(waitMs, 1), nullptr);
  if (!http) {
    q.outcome = Queues::Outcome::Unreachable;
    return q;
  }
  cups.setTimeout(
      http, 0.25,
      [](http_t* h, void* data) {
        auto* w = static_cast<Wait*>(data);
        if (Clock::now() < w->until) return 1;
        w->over = true;
        Cups().shutdown(h);  // what libcups asks next on it fails at once
        return 0;
      },
      &wait);
  cups_dest_t* dests = nullptr;
  const int n = cups.getDests(http, &dests);
  for (int i = 0; i < n; ++i) {
    std::string name = dests[i].name;
    if (dests[i].instance) name += std::string("/") + dests[i].instance;
    if (dests[i].is_default) q.defaultName = name;
    q.names.push_back(std::move(name));
  }
  cups.freeDests(n, dests);
  // No printers comes back as "not found"; any other error means the list is not to be trusted.
  const ipp_status_t status = cups.lastError();
  if (wait.over)
    q.outcome = Queues::Outcome::TimedOut;
  else if (n == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND)
    q.outcome = Queues::Outcome::Failed;
  else
    q.outcome = Queues::Outcome::Listed;
  if (q.outcome == Queues::Outcome::Failed) q.reason = cups.lastErrorString();
  cups.close(http);
  return q;
}

Queues QueuesWithin(int waitMs) {
  const platform::Detached<Queues> ask([waitMs] { return AskQueues(waitMs); });
  return ask.Within(waitMs).value_or(Queues{});
}

}  // namespace vantorel::cups
