#include <sqlite3.h>

#include "sqlite/store_internal.h"

namespace vantorel::sqlite::detail {

namespace {

bool Primary(int code, int primary) { return (code & 0xFF) == primary; }

}  // namespace

OpenPlan PlanOpen(const FileState& f, bool readWrite, bool forWrite) {
  const bool logMode = f.header == Header::Wal;
  // A store with a write-ahead log but no log beside it holds everything in
  // the file. Reading it as immutable makes no log index; the first write
  // opens it again to switch it to the rollback journal.
  const bool logGone = logMode && !f.logWithData;
  OpenPlan plan;
  plan.switchJournal = logMode && readWrite && forWrite && !f.logFile && !f.indexFile;
  if (!readWrite) {
    // A log without its index cannot be read in place without making one.
    if (logGone)
      plan.way = Way::Immutable;
    else if (logMode && !f.indexFile)
      plan = {Way::PrivateCopy, "-wal", false};
    else
      plan.way = Way::ReadOnly;
  } else if (logGone && !f.indexFile && !forWrite) {
    plan.way = Way::Immutable;
  }
  return plan;
}

std::optional<OpenPlan> NextPlan(const OpenPlan& plan, const FileState& f, int code, bool journalBeside) {
  if (plan.way == Way::PrivateCopy) return std::nullopt;
  const bool cannotChange = Primary(code, SQLITE_READONLY) || Primary(code, SQLITE_IOERR) ||
                            Primary(code, SQLITE_CANTOPEN);
  // A writer was killed in its commit and this open may not roll the file
  // back (or the rollback itself fails, say in a folder where the journal
  // cannot be removed): read a rolled-back copy.
  if (f.header != Header::Wal && cannotChange && (code == SQLITE_READONLY_ROLLBACK || journalBeside))
    return OpenPlan{Way::PrivateCopy, "-journal", plan.switchJournal};
  // The log index cannot be made (a read-only folder or file system, a full
  // disk): read as immutable, or a copy with its log; a write then fails.
  if (plan.way != Way::Immutable && f.header == Header::Wal && (cannotChange || Primary(code, SQLITE_FULL))) {
    if (!f.logWithData) return OpenPlan{Way::Immutable, nullptr, plan.switchJournal};
    return OpenPlan{Way::PrivateCopy, "-wal", plan.switchJournal};
  }
  return std::nullopt;
}

}  // namespace vantorel::sqlite::detail
