// Program entry: tunes the C library's allocator, then hands the arguments
// to the host, which picks the mode.
//
// Mesa's software renderer allocates and frees its large per-frame buffers
// (the binned scene of every frame) through malloc. With the allocator's
// defaults those blocks are mapped and unmapped, or the heap's top is given
// back and taken again, every frame, and each new page costs a fault and a
// clearing in the kernel: at the heaviest settings that was about a third of
// the frame. Keeping blocks up to 32 MB in the heap, and up to 64 MB of free
// heap before it is given back, lets the next frame reuse them. The picture
// does not change; the resident size stays within that amount.
#include <malloc.h>

#include "host/saver_entry.h"

int main(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
  return starbloom::programMain(argc, argv);
}
