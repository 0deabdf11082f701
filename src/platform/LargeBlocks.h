#pragma once

// Makes every large allocation from now on a mapping of its own, which goes back to the system
// the moment it is freed. A refresh holds a result while the next one is fetched and sorted; with
// the C library's default, which raises its threshold to the size of the largest block freed so
// far, those blocks come from the heaps of the threads instead, and what they leave free there is
// kept. Growing such a block remaps its pages rather than copying them. Call once, at start.
void ReturnLargeBlocksAtOnce();
