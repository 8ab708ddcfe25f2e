// SPDX-License-Identifier: GPL-3.0-or-later
#include "GrowArray.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

void KeepLargeBlocksMovable() {
#ifdef __GLIBC__
    // Fixing the threshold also stops glibc from raising it.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}
