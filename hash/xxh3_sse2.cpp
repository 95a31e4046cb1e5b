// XXH3 for SSE2.
#define XXH_VECTOR XXH_SSE2
#define XXH_NAMESPACE talvor_xxh3_sse2_
#define XXH3_PATH_TABLE XXH3_PATH_SSE2
#include "xxh3_path_body.h"
