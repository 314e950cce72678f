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
    find(c.createJob, "cupsCreateJob");
    find(c.startDocument, "cupsStartDocument");
    find(c.writeRequestData, "cupsWriteRequestData");
    find(c.finishDocument, "cupsFinishDocument");
    return c;
  }();
  return cups;
}

namespace {

using Clock = std::chrono::steady_clock;

// A connection of the program's own to the print system that gives up once
// waitMs have passed: libcups asks the callback after every quarter second
// of silence whether to go on waiting.
class Connection {
 public:
  explicit Connection(int waitMs) : until_(Clock::now() + std::chrono::milliseconds(waitMs)) {
    const Library& cups = Cups();
    server_ = cups.server();
    http_ = cups.connect(server_.c_str(), cups.port(), nullptr, AF_UNSPEC, cups.encryption(), 1, std::max(waitMs, 1),
                         nullptr);
    if (http_) cups.setTimeout(http_, 0.25, &GoOn, this);
  }
  ~Connection() {
    if (http_) Cups().close(http_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  http_t* http() const { return http_; }
  const std::string& server() const { return server_; }
  bool over() const { return over_; }

 private:
  static int GoOn(http_t* h, void* data) {
    auto* c = static_cast<Connection*>(data);
    if (Clock::now() < c->until_) return 1;
    c->over_ = true;
    Cups().shutdown(h);  // what libcups asks next on it fails at once
    return 0;
  }

  Clock::time_point until_;
  bool over_ = false;
  std::string server_;
  http_t* http_ = nullptr;
};

}  // namespace

Queues AskQueues(int waitMs) {
  Queues q;
  const Library& cups = Cups();
  if (!cups.missing.empty()) {
    q.outcome = Queues::Outcome::Failed;
    q.reason = cups.missing;
    return q;
  }
  const Connection c(waitMs);
  q.server = c.server();
  if (!c.http()) {
    q.outcome = Queues::Outcome::Unreachable;
    return q;
  }
  cups_dest_t* dests = nullptr;
  const int n = cups.getDests(c.http(), &dests);
  for (int i = 0; i < n; ++i) {
    std::string name = dests[i].name;
    if (dests[i].instance) name += std::string("/") + dests[i].instance;
    if (dests[i].is_default) q.defaultName = name;
    q.names.push_back(std::move(name));
  }
  cups.freeDests(n, dests);
  // No printers comes back as "not found"; any other error means the list is not to be trusted.
  const ipp_status_t status = cups.lastError();
  if (c.over())
    q.outcome = Queues::Outcome::TimedOut;
  else if (n == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND)
    q.outcome = Queues::Outcome::Failed;
  else
    q.outcome = Queues::Outcome::Listed;
  if (q.outcome == Queues::Outcome::Failed) q.reason = cups.lastErrorString();
  return q;
}

Sent SendDocument(const std::string& dest, const std::string& title, const std::string& pdf, int waitMs) {
  Sent s;
  const Library& cups = Cups();
  if (!cups.missing.empty()) {
    s.outcome = Sent::Outcome::Refused;
    s.reason = cups.missing;
    return s;
  }
  const Connection c(waitMs);
  s.server = c.server();
  if (!c.http()) {
    s.outcome = Sent::Outcome::Unreachable;
    return s;
  }
  const std::string queue = dest.substr(0, dest.find('/'));  // an instance prints on its queue
  const int job = cups.createJob(c.http(), queue.c_str(), title.c_str(), 0, nullptr);
  bool printed = false;
  if (job > 0 &&
      cups.startDocument(c.http(), queue.c_str(), job, title.c_str(), CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE) {
    const bool written = cups.writeRequestData(c.http(), pdf.data(), pdf.size()) == HTTP_STATUS_CONTINUE;
    printed = cups.finishDocument(c.http(), queue.c_str()) <= IPP_STATUS_OK_EVENTS_COMPLETE && written;
  }
  if (c.over()) {
    s.outcome = Sent::Outcome::TimedOut;
  } else if (!printed) {
    s.outcome = Sent::Outcome::Refused;
    // A connection lost without an answer leaves "successful-ok" as the last status.
    s.reason = cups.lastError() > IPP_STATUS_OK_EVENTS_COMPLETE ? cups.lastErrorString()
                                                                : "the connection ended before it answered";
  } else {
    s.outcome = Sent::Outcome::Printed;
  }
  return s;
}

Sent SendWithin(const std::string& dest, const std::string& title, std::string pdf, int waitMs) {
  const platform::Detached<Sent> send(
      [dest, title, pdf = std::move(pdf), waitMs] { return SendDocument(dest, title, pdf, waitMs); });
  return send.Within(waitMs).value_or(Sent{});
}

Queues QueuesWithin(int waitMs) {
  const platform::Detached<Queues> ask([waitMs] { return AskQueues(waitMs); });
  return ask.Within(waitMs).value_or(Queues{});
}

}  // namespace vantorel::cups
