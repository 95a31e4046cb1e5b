// Keccak-f[1600] compiled for BMI1/BMI2. Only called after sha3.cpp has seen
// both in CPUID at start-up.
#include "keccak_permutation.h"

void keccak_permutation_bmi2(uint64_t *lanes)
{
    keccak_permutation(lanes);
}
