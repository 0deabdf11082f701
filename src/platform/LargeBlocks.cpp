#include "platform/LargeBlocks.h"

// Defines __GLIBC__ on the GNU C library.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ReturnLargeBlocksAtOnce()
{
#if defined(__GLIBC__)
    // The library's own starting threshold, fixed: setting it turns the raising off.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}
