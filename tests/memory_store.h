// The in-memory store the tests of what lies above the store use.
#pragma once

#include "platform/memorystore.h"

namespace vantorel::test {
using MemoryStore = platform::MemoryStore;
}  // namespace vantorel::test
