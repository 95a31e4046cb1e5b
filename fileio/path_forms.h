// What the path forms share with the other file operations. Private to the
// file folder.
#pragma once

#include <cstdint>

// A LONG_PATH_UNITS buffer (free() it), or null.
wchar_t *AllocPathBuffer();
// \\.\ and \\?\ in either slash: the system's own namespaces.
int StartsWithNamespacePrefix(const wchar_t *path);
