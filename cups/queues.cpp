#include "cups/queues.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>

#include "platform/detached.h"

namespace vantorel::cups {

Queues AskQueues(int waitMs) {
  using Clock = std::chrono::steady_clock;
  struct Wait {
    Clock::time_point until;
    bool over = false;
  } wait{Clock::now() + std::chrono::milliseconds(waitMs)};
  Queues q;
  q.server = cupsServer();
  http_t* http =
      httpConnect2(q.server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, std::max(waitMs, 1), nullptr);
  if (!http) {
    q.outcome = Queues::Outcome::Unreachable;
    return q;
  }
  httpSetTimeout(
      http, 0.25,
      [](http_t* h, void* data) {
        auto* w = static_cast<Wait*>(data);
        if (Clock::now() < w->until) return 1;
        w->over = true;
        httpShutdown(h);  // what libcups asks next on it fails at once
        return 0;
      },
      &wait);
  cups_dest_t* dests = nullptr;
  const int n = cupsGetDests2(http, &dests);
  for (int i = 0; i < n; ++i) {
    std::string name = dests[i].name;
    if (dests[i].instance) name += std::string("/") + dests[i].instance;
    if (dests[i].is_default) q.defaultName = name;
    q.names.push_back(std::move(name));
  }
  cupsFreeDests(n, dests);
  // No printers comes back as "not found"; any other error means the list is not to be trusted.
  const ipp_status_t status = cupsLastError();
  if (wait.over)
    q.outcome = Queues::Outcome::TimedOut;
  else if (n == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND)
    q.outcome = Queues::Outcome::Failed;
  else
    q.outcome = Queues::Outcome::Listed;
  if (q.outcome == Queues::Outcome::Failed) q.reason = cupsLastErrorString();
  httpClose(http);
  return q;
}

Queues QueuesWithin(int waitMs) {
  const platform::Detached<Queues> ask([waitMs] { return AskQueues(waitMs); });
  return ask.Within(waitMs).value_or(Queues{});
}

}  // namespace vantorel::cups
