// XXH3 for any x86-64 processor, without vector instructions.
#define XXH_VECTOR XXH_SCALAR
#define XXH_NAMESPACE talvor_xxh3_scalar_
#define XXH3_PATH_TABLE XXH3_PATH_SCALAR
#include "xxh3_path_body.h"
