// What the check and the update do alike with a list file: reading it,
// anchoring a tagged list's paths, the rows of lines that gave no entry, and
// making room in the entry table for the files they add. Private to the
// jobs folder.
#pragma once

#include <cstdint>

#include "checklist/checklist.h"

// Reads the list file whole; null when it cannot be read. *bytes: its size.
uint8_t *ReadListFile(const wchar_t *path, uint32_t *bytes);
// Only an empty file or a lone byte order mark is a list without entries;
// anything else that yields none is not a list this program can check.
bool HoldsOnlyByteOrderMark(const uint8_t *file, uint32_t bytes);
// "Files: 0" and an "ERROR" row for the target path.
void ShowListWithoutEntries();
// One "ERROR" row for each line of the list that gave no entry.
void ShowProblemRows(const ListProblems *problems);
// Anchors every path of a tagged list's entries in the entry table at the
// list's folder. An entry that cannot be anchored gets an "ERROR" row and
// leaves the table. The number of those entries, or -1 when memory ran out
// (the table stays whole and consistent).
int32_t AnchorListedPaths(const wchar_t *list_path);

// Room for `more` entries after the entry table's last; false without memory
// (the table stays as it was).
bool GrowEntryTable(int32_t more);
