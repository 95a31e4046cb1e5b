// BLAKE3's internal interface (the library's blake3_impl.h, a C header):
// the per-path compression functions our dispatch chooses among, and the
// dispatched ones the library's hasher and our subtree code call.
#pragma once

extern "C" {
#include <blake3_impl.h>
}
