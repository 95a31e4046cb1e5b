// Fails the C library's file reads or writes for one chosen file. Loaded
// with LD_PRELOAD into Wine processes: Wine's ntdll reads and writes files
// through read, pread, write and pwrite, so a disk error, a full disk or a
// short transfer can be made to happen under the Windows program, at a byte
// offset of our choosing.
//
// A process takes its fault, when it starts, from the plan file named by
// TALVOR_FAULT_PLAN (a host path; no file, no fault). Wine starts a Windows
// program with its parent's host environment, whatever Windows environment
// it is given, so a test cannot hand settings over that way; it writes the
// plan, starts the program, and removes the plan again. Three lines:
//
//   read-eio, read-short, write-eio, write-enospc or write-short
//   bytes from the start of the file that still pass (0: the first
//   transfer is hit)
//   the file, matched against the end of the host path the descriptor
//   refers to (e.g. "/list.qcx"); a `*` in it stands for any run of
//   characters (a save's temporary file carries the process id in its name)
//
// Past that offset a failing call returns -1 with the error; a short one
// moves half the bytes asked for (at least one). A call that straddles the
// offset moves the bytes before it and no more, as a failing disk does.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fnmatch.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

typedef ssize_t (*ReadCall)(int, void *, size_t);
typedef ssize_t (*WriteCall)(int, const void *, size_t);
typedef ssize_t (*PreadCall)(int, void *, size_t, off_t);
typedef ssize_t (*PwriteCall)(int, const void *, size_t, off_t);

enum FaultMode { FAULT_NONE, FAULT_ERROR, FAULT_SHORT };

static struct {
    enum FaultMode mode;
    int writes;  // 1: writes are hit, 0: reads
    int error;
    off_t after;
    char pattern[4097];  // "*" and the file: any path that ends in it
} fault;

static ReadCall real_read;
static WriteCall real_write;
static PreadCall real_pread;
static PreadCall real_pread64;
static PwriteCall real_pwrite;
static PwriteCall real_pwrite64;

static void ChooseFault(const char *name)
{
    static const struct {
        const char *name;
        enum FaultMode mode;
        int writes;
        int error;
    } kinds[] = {
        {"read-eio", FAULT_ERROR, 0, EIO},      {"read-short", FAULT_SHORT, 0, 0},
        {"write-eio", FAULT_ERROR, 1, EIO},     {"write-enospc", FAULT_ERROR, 1, ENOSPC},
        {"write-short", FAULT_SHORT, 1, 0},
    };
    for (size_t i = 0; i < sizeof kinds / sizeof kinds[0]; ++i) {
        if (strcmp(name, kinds[i].name) == 0) {
            fault.mode = kinds[i].mode;
            fault.writes = kinds[i].writes;
            fault.error = kinds[i].error;
            return;
        }
    }
    fprintf(stderr, "faults: unknown fault \"%s\"; nothing is failed\n", name);
}

// The plan's three lines, or nothing when there is no plan.
static void ReadPlan(void)
{
    const char *plan_path = getenv("TALVOR_FAULT_PLAN");
    FILE *plan = plan_path ? fopen(plan_path, "r") : NULL;
    if (!plan)
        return;
    char kind[64] = "";
    long long after = 0;
    fault.pattern[0] = '*';
    char *file = fault.pattern + 1;
    if (fscanf(plan, "%63s %lld ", kind, &after) == 2 &&
        fgets(file, sizeof fault.pattern - 1, plan)) {
        size_t length = strcspn(file, "\r\n");
        file[length] = 0;
        fault.after = (off_t)after;
        if (length > 0)
            ChooseFault(kind);
    }
    fclose(plan);
}

__attribute__((constructor)) static void Configure(void)
{
    real_read = (ReadCall)dlsym(RTLD_NEXT, "read");
    real_write = (WriteCall)dlsym(RTLD_NEXT, "write");
    real_pread = (PreadCall)dlsym(RTLD_NEXT, "pread");
    real_pread64 = (PreadCall)dlsym(RTLD_NEXT, "pread64");
    real_pwrite = (PwriteCall)dlsym(RTLD_NEXT, "pwrite");
    real_pwrite64 = (PwriteCall)dlsym(RTLD_NEXT, "pwrite64");
    ReadPlan();
}

static int IsFaultFile(int fd)
{
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, path, sizeof path - 1);
    if (length < 0)
        return 0;
    path[length] = 0;
    return fnmatch(fault.pattern, path, 0) == 0;
}

// Bytes of a transfer of `count` at `offset` that may go ahead, or -1 (errno
// set) when the call fails.
static ssize_t Allowed(int fd, int writing, size_t count, off_t offset)
{
    if (fault.mode == FAULT_NONE || writing != fault.writes || count == 0 || !IsFaultFile(fd))
        return (ssize_t)count;
    if (offset < 0 || offset + (off_t)count <= fault.after)
        return (ssize_t)count;
    if (offset < fault.after)
        return (ssize_t)(fault.after - offset);
    if (fault.mode == FAULT_SHORT)
        return (ssize_t)(count > 1 ? count / 2 : 1);
    errno = fault.error;
    return -1;
}

static off_t Position(int fd)
{
    return lseek(fd, 0, SEEK_CUR);
}

ssize_t read(int fd, void *buffer, size_t count)
{
    ssize_t allowed = Allowed(fd, 0, count, Position(fd));
    return allowed < 0 ? -1 : real_read(fd, buffer, (size_t)allowed);
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    ssize_t allowed = Allowed(fd, 1, count, Position(fd));
    return allowed < 0 ? -1 : real_write(fd, buffer, (size_t)allowed);
}

ssize_t pread(int fd, void *buffer, size_t count, off_t offset)
{
    ssize_t allowed = Allowed(fd, 0, count, offset);
    return allowed < 0 ? -1 : real_pread(fd, buffer, (size_t)allowed, offset);
}

ssize_t pread64(int fd, void *buffer, size_t count, off_t offset)
{
    ssize_t allowed = Allowed(fd, 0, count, offset);
    return allowed < 0 ? -1 : real_pread64(fd, buffer, (size_t)allowed, offset);
}

ssize_t pwrite(int fd, const void *buffer, size_t count, off_t offset)
{
    ssize_t allowed = Allowed(fd, 1, count, offset);
    return allowed < 0 ? -1 : real_pwrite(fd, buffer, (size_t)allowed, offset);
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off_t offset)
{
    ssize_t allowed = Allowed(fd, 1, count, offset);
    return allowed < 0 ? -1 : real_pwrite64(fd, buffer, (size_t)allowed, offset);
}
