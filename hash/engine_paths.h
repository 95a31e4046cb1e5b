// The form of every engine's processor paths. Each engine keeps one table of
// them, richest first: a path's name, the features it cannot run without, and
// what it runs (a function, or a record of functions where the engine needs
// several). The engine's dispatcher, its tests and the benchmark all read
// that one table: the dispatcher takes the first path the features allow,
// the tests and the benchmark call each path through its entry by name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu_features.h"

template <typename Run>
struct engine_path {
    const char *name;
    uint32_t needs;  // features the path cannot run without
    Run run;
};

template <typename Run>
constexpr bool engine_path_runs_with(const engine_path<Run> &path, uint32_t features)
{
    return (features & path.needs) == path.needs;
}

// Whether this processor (and its system) has what the path needs, whatever
// the limit set for the dispatchers.
template <typename Run>
inline bool engine_path_available(const engine_path<Run> &path)
{
    return engine_path_runs_with(path, cpu_features_probed());
}

// The richest path `features` allow, or null when none does.
template <typename Run, size_t N>
constexpr const engine_path<Run> *engine_path_find(const engine_path<Run> (&paths)[N],
                                                   uint32_t features)
{
    for (const engine_path<Run> &path : paths)
        if (engine_path_runs_with(path, features))
            return &path;
    return nullptr;
}

// For a table whose last path needs nothing: the richest path `features`
// allow, that last one at worst.
template <typename Run, size_t N>
constexpr const engine_path<Run> &engine_path_for(const engine_path<Run> (&paths)[N],
                                                  uint32_t features)
{
    static_assert(N > 0);
    const engine_path<Run> *found = engine_path_find(paths, features);
    return found ? *found : paths[N - 1];
}
