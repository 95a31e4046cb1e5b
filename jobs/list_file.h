// What the check and the update do alike with a list file: reading it,
// anchoring a tagged list's paths, the rows of lines that gave no entry,
// finding the files below its folder that no entry names, and writing it
// back. Private to the jobs folder.
#pragma once

#include <cstdint>

#include "checklist/checklist.h"
#include "fileio/fileio.h"

// Reads the list file whole; null when it cannot be read. *bytes: its size.
uint8_t *ReadListFile(const wchar_t *path, uint32_t *bytes);
// Only an empty file or a lone byte order mark is a list without entries;
// anything else that yields none is not a list this program can check.
bool HoldsOnlyByteOrderMark(const uint8_t *file, uint32_t bytes);
// "Files: 0" and an "ERROR" row for the target path.
void ShowListWithoutEntries();
// One "ERROR" row for each line of the list that gave no entry.
void ShowProblemRows(const ListProblems *problems);
// Anchors every path of a text list's entries in the entry table at the
// list's folder. An entry that cannot be anchored gets an "ERROR" row and
// leaves the table, and its kinds leave `candidates` (one per entry, or
// null) alike. The number of those entries, or -1 when memory ran out (the
// table stays whole and consistent).
int32_t AnchorListedPaths(const wchar_t *list_path, KindMask *candidates);

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
// Room for `more` entries after the entry table's last; false without memory
// (the table stays as it was).
bool GrowEntryTable(int32_t more);
