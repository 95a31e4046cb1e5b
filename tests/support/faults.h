// Faults injected under a program the test starts: the host library
// tests/support/faults/faults.c, preloaded into the test run (CMake's
// talvor_use_faults) and so into every Wine process it starts, fails the
// reads or writes of one file in the programs started while a fault is
// planned.
#pragma once

#include <cstdint>
#include <string>

struct InjectedFault {
    const char *kind;   // "read-eio", "read-short", "write-eio", "write-enospc", "write-short"
    std::wstring file;  // the file hit, by its drive path (its folder and name tell it);
                        // a `*` in its name stands for any run of characters
    uint64_t after;     // bytes from its start that still pass
};

// Whether faults can be injected: the injector is preloaded and has a plan
// file to read (TALVOR_FAULT_PLAN is set). Cases skip otherwise.
bool FaultsAvailable();
// Plans the fault for every program started from now until EndFault; true
// when the plan was written.
bool PlanFault(const InjectedFault &fault);
void EndFault();
