// What the registry store offers beyond the store interface: a way for a
// test to end the process in the middle of a save, as a kill would.
#pragma once

#include <cstddef>
#include <functional>

namespace vantorel::windows {

// probe is called after each write a commit applies, with the number of
// writes applied so far; empty for none.
void OnCommitWrite(std::function<void(size_t written)> probe);

}  // namespace vantorel::windows
