// The audit of a list's folder: the files below it that no entry of the
// list names, for the check's "NEW" rows and the update's added lines.
// Private to the jobs folder.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "fileio/fileio.h"

// The files below a list's folder that no entry names. The folder: a tagged
// list's own folder, where its relative paths start; a .qcx list's deepest
// folder holding every entry's file (its own folder when it has none).
struct ListAudit {
    wchar_t *folder;      // the folder walked, full path, no \\?\ (owned); null: none
    size_t folder_units;  // its units
    sListDir unnamed;     // the files no entry names, in listing order, with
                          // the folders that could not all be listed
    bool *named;          // per entry: a listed file that it names was found
};

// Walks the folder of the list at `list_path` and compares every file with
// entries[0..count), whose paths are as the check opens them. Names compare
// as Windows compares them, after the normalisation of the check's own
// opens. The list itself and any other checksum list are not unnamed.
// JOB_OUTCOME_OK, or JOB_OUTCOME_NO_MEMORY (release the audit either way).
int32_t AuditListFolder(const wchar_t *list_path, bool tagged, const Entry *entries, int32_t count,
                        ListAudit *audit);
void ReleaseListAudit(ListAudit *audit);
