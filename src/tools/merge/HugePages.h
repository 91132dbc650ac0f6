#pragma once

#include <cstddef>

namespace tess::tools {

// Asks the kernel to back the whole 2 MiB pages inside [data, data + size)
// with huge pages: the merge touches a few hundred MB at random, and small
// pages cost a fault per 4 KiB and a TLB miss per access. Call it before
// the memory is first written. Only advice: nothing changes where it fails.
void adviseHugePages(void* data, size_t size);

} // namespace tess::tools
