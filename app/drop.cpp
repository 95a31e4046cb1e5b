// Files dropped on the main window request a job like the pickers do.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/app.h"
#include "jobs/jobs.h"
#include "window/window.h"

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
        RequestJob(path, JobForPath(path));
    std::free(path);
}
