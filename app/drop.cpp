// Files dropped on the main window request a job like the pickers do.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "checklist/checklist.h"
#include "fileio/fileio.h"
#include "jobs/jobs.h"
#include "window/window.h"

namespace {

bool IsFolder(const wchar_t *path)
{
    sLongPath form;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (FormLongPath(path, &form) == FILE_OK)
        attributes = GetFileAttributesW(form.text);
    ReleaseLongPath(&form);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A folder scans, a checksum list checks, anything else is digested; a path
// that cannot be read at all is digested too, so the user sees its error row.
int32_t JobForDroppedPath(const wchar_t *path)
{
    if (IsFolder(path))
        return JOB_FOLDER_SCAN;
    return FileHoldsChecksumList(path) ? JOB_CHECK : JOB_SINGLE_FILE;
}

}  // namespace

void HandleDroppedFiles(HDROP drop)
{
    if (g_app.pending_job != JOB_NONE || JobRunning())
        return;
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1)
        return;
    UINT units = DragQueryFileW(drop, 0, nullptr, 0);
    wchar_t *path = static_cast<wchar_t *>(std::malloc((size_t(units) + 1) * sizeof(wchar_t)));
    if (!path)
        return;
    if (units > 0 && DragQueryFileW(drop, 0, path, units + 1) == units)
        RequestJob(path, JobForDroppedPath(path));
    std::free(path);
}
