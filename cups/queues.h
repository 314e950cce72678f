// The print system's printers, asked through libcups on a connection of the
// program's own that gives up after a given wait.
#pragma once

#include <string>
#include <vector>

namespace vantorel::cups {

// The print system's printers, as one connection of its own asked them.
struct Queues {
  enum class Outcome { Listed, Unreachable, Failed, TimedOut } outcome = Outcome::TimedOut;
  std::vector<std::string> names;  // "name" or "name/instance", as Qt names them
  std::string defaultName;
  std::string server;  // where the print system was looked for
  std::string reason;  // why it failed
};

// Asks on a connection of its own that gives up once waitMs have passed:
// libcups asks the timeout callback after every quarter second of silence
// whether to go on waiting. Safe on any thread (libcups keeps its state per
// thread).
Queues AskQueues(int waitMs);

// AskQueues on a thread that is waited for at most waitMs, and abandoned
// after that.
Queues QueuesWithin(int waitMs);

}  // namespace vantorel::cups
