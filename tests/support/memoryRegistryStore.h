#pragma once
// The null platform's in-memory registry, with its refusals and call log, as the tests know it.
#include "platform/null/memoryRegistryStore.h"

namespace ups::test {
using MemoryRegistryStore = ups::MemoryRegistryStore;
}  // namespace ups::test
