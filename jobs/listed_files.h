// Digesting the files of a listing into new entries, as the scan and the
// update do. Private to the jobs folder.
#pragma once

#include <cstdint>

#include "core/core.h"

struct sListDir;
// Digests every file of `listing` (on the drive of `target`) into new
// entries after the last of the entry table, which has room for them, a
// "Created" or "ERROR" row each, in listing order; an unlisted folder is an
// "ERROR" row. The paths move from the listing. JOB_OUTCOME_OK,
// JOB_OUTCOME_BAD when one could not be read, or JOB_OUTCOME_NO_MEMORY: the
// rows and entries made so far stay, counted.
int32_t DigestListedFiles(sListDir *listing, const utf16 *target);
