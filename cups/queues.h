// The print system's printers, and pages sent to them, through libcups on a
// connection of the program's own that gives up after a given wait.
#pragma once

#include <cups/cups.h>

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

// libcups, loaded the first time the print system is asked rather than with
// the program: it and the libraries it needs (TLS, Kerberos, Avahi, some
// twenty) take milliseconds to load before the window could show. Qt's print
// support loads the same library for its jobs. Only the header is used when
// the program is built.
struct Library {
  decltype(&cupsServer) server = nullptr;
  decltype(&ippPort) port = nullptr;
  decltype(&cupsEncryption) encryption = nullptr;
  decltype(&httpConnect2) connect = nullptr;
  decltype(&httpSetTimeout) setTimeout = nullptr;
  decltype(&httpShutdown) shutdown = nullptr;
  decltype(&httpClose) close = nullptr;
  decltype(&cupsGetDests2) getDests = nullptr;
  decltype(&cupsFreeDests) freeDests = nullptr;
  decltype(&cupsLastError) lastError = nullptr;
  decltype(&cupsLastErrorString) lastErrorString = nullptr;
  decltype(&cupsCreateJob) createJob = nullptr;
  decltype(&cupsStartDocument) startDocument = nullptr;
  decltype(&cupsWriteRequestData) writeRequestData = nullptr;
  decltype(&cupsFinishDocument) finishDocument = nullptr;
  std::string missing;  // why it cannot be used; empty when every function is there
};
// Loaded once; it stays loaded for the rest of the program.
const Library& Cups();

// Asks on a connection of its own that gives up once waitMs have passed:
// libcups asks the timeout callback after every quarter second of silence
// whether to go on waiting. Safe on any thread (libcups keeps its state per
// thread).
Queues AskQueues(int waitMs);

// AskQueues on a thread that is waited for at most waitMs, and abandoned
// after that.
Queues QueuesWithin(int waitMs);

// How a page sent to a printer ended.
struct Sent {
  enum class Outcome { Printed, Unreachable, Refused, TimedOut } outcome = Outcome::TimedOut;
  std::string server;  // where the print system was looked for
  std::string reason;  // why it refused the job, in the print system's words
};

// Sends a PDF document to the printer dest ("name" or "name/instance") as a
// job titled title: the job created, the document sent, the job closed, all
// on one connection of its own that gives up once waitMs have passed
// (whichever step the print system holds). Safe on any thread.
Sent SendDocument(const std::string& dest, const std::string& title, const std::string& pdf, int waitMs);

// SendDocument on a thread that is waited for at most waitMs, and abandoned
// after that (it gives up on its own at the same time).
Sent SendWithin(const std::string& dest, const std::string& title, std::string pdf, int waitMs);

}  // namespace vantorel::cups
