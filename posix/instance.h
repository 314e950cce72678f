// One copy of the program per executable name and user. The first copy
// holds a lock in the user's runtime folder (a lock the system lets go of
// when the copy ends, however it ends) and listens on a socket beside it; a
// second copy knocks there, which brings the first one's window to the
// front, and ends.
#pragma once

#include <string>

namespace vantorel::posix {

class SingleInstance {
 public:
  // name: the executable's name. folder: where the lock and the socket go
  // (empty: $XDG_RUNTIME_DIR, else a private folder under /tmp).
  explicit SingleInstance(const std::string& name, std::string folder = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this copy is the first (also when no lock can be had at all:
  // a copy is never kept from starting by a folder it cannot use).
  bool First() const { return first_; }
  // A second copy: asks the first to bring its window to the front. True
  // when the first copy took the knock.
  bool KnockOnFirst() const;
  // The first copy: the socket to watch for knocks (-1: none), and each
  // knock taken from it; true when a second copy knocked.
  int KnockSocket() const { return listen_; }
  bool TakeKnock() const;

 private:
  std::string lockPath_, socketPath_;
  int lock_ = -1, listen_ = -1;
  bool first_ = true;
};

}  // namespace vantorel::posix
