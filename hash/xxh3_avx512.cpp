// XXH3 for AVX512.
#define XXH_VECTOR XXH_AVX512
#define XXH_NAMESPACE talvor_xxh3_avx512_
#define XXH3_PATH_TABLE XXH3_PATH_AVX512
#include "xxh3_path_body.h"
