// XXH3 for AVX2.
#define XXH_VECTOR XXH_AVX2
#define XXH_NAMESPACE talvor_xxh3_avx2_
#define XXH3_PATH_TABLE XXH3_PATH_AVX2
#include "xxh3_path_body.h"
