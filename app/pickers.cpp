// The two pickers that choose a job's target, the Save dialog, and the
// Options commands.
// A picker only records the target and the pending job; the dispatcher
// starts the job after the command's message has been handled.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>

#include "app/app.h"
#include "fileio/fileio.h"
#include "window/window.h"
#include "jobs/jobs.h"

namespace {

constexpr DWORD PICKER_NAME_UNITS = MAX_PATH;
// Units of the file-name buffer of the checksum-list dialogs.
constexpr DWORD CHECKLIST_DIALOG_NAME_UNITS = 260;

// The settings both checksum-list dialogs (Check's open, Save's save as)
// share: no owner, the .qcx, tagged-list and all-files filters, default
// extension "qcx" (a name typed without extension under the tagged filter
// gets that filter's),
// `name` (CHECKLIST_DIALOG_NAME_UNITS units, zeroed) as the name buffer.
// The caller adds its own flags.
void FillChecklistDialog(OPENFILENAMEW *dialog, wchar_t *name)
{
    *dialog = {};
    dialog->lStructSize = sizeof(*dialog);
    dialog->hwndOwner = nullptr;
    dialog->lpstrFilter = L"QCX File type (*.qcx)\0*.qcx\0"
                          L"Tagged checksum list (*.txt)\0*.txt\0"
                          L"All Files (*.*)\0*.*\0";
    dialog->nFilterIndex = 1;
    dialog->lpstrFile = name;
    dialog->nMaxFile = CHECKLIST_DIALOG_NAME_UNITS;
    dialog->lpstrDefExt = L"qcx";
}

// The open dialog moves the current folder whatever its flags say, so both
// dialogs put it back: relative list paths depend on it.
bool ShowChecklistDialog(OPENFILENAMEW *dialog, BOOL(WINAPI *show)(OPENFILENAMEW *))
{
    wchar_t *current_folder = SaveCurrentFolder();
    BOOL chosen = show(dialog);
    RestoreCurrentFolder(current_folder);
    return chosen == TRUE;
}

// A stopped scan's list must not pass for the whole folder: the user says
// whether a part is worth saving, No being the default.
bool ConfirmPartialList()
{
    if (g_app.stopped_scan_total == 0)
        return true;
    int32_t listed = ListedEntryCount();
    wchar_t text[200];
    std::swprintf(
        text, 200,
        L"The scan was stopped: the list will hold %ld of %ld files. Save it all the same?",
        long(listed), long(g_app.stopped_scan_total));
    return MessageBoxW(MainWindowFromAnyThread(), text, MainWindowTitle(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

// Rather than a job on a path that was never stored.
void RequestJob(const wchar_t *path, int32_t job)
{
    if (SetTargetPath(path, 0) == 0)
        g_app.pending_job = job;
}

int ChooseFolder()
{
    wchar_t folder[PICKER_NAME_UNITS] = {};
    BROWSEINFOW browse = {};
    browse.hwndOwner = nullptr;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = folder;
    browse.lpszTitle = L"Select folder";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;

    // The browser is a shell object and wants a single-threaded apartment on
    // the calling thread while it is shown.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t *current_folder = SaveCurrentFolder();
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
    RestoreCurrentFolder(current_folder);
    if (item) {
        // An item without a file-system path (a virtual folder such as the
        // printers) would otherwise scan whatever the buffer last held.
        if (SHGetPathFromIDListW(item, folder))
            RequestJob(folder, JOB_FOLDER_SCAN);
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

namespace {

void ChooseListFor(int32_t job)
{
    wchar_t name[CHECKLIST_DIALOG_NAME_UNITS] = {};
    OPENFILENAMEW dialog;
    FillChecklistDialog(&dialog, name);
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (ShowChecklistDialog(&dialog, GetOpenFileNameW))
        RequestJob(name, job);
}

}  // namespace

int ChooseChecksumFile()
{
    ChooseListFor(JOB_CHECK);
    return 0;
}

int ChooseListToUpdate()
{
    ChooseListFor(JOB_UPDATE);
    return 0;
}

void ChooseHashAlgorithm(int32_t choice)
{
    StoreHashChoice(choice);
    g_app.marked_hash_choice = choice;
}

void ToggleHiddenFiles()
{
    g_app.hidden_files = g_app.hidden_files ? 0 : 1;
    g_app.hidden_files_marked = g_app.hidden_files;
}

void ToggleNewFiles()
{
    g_app.list_new_files = g_app.list_new_files ? 0 : 1;
}

int SaveChecksumList()
{
    if (!ConfirmPartialList())
        return 0;
    wchar_t name[CHECKLIST_DIALOG_NAME_UNITS] = {};
    OPENFILENAMEW dialog;
    FillChecklistDialog(&dialog, name);
    // A Save As dialog must accept new names, so no OFN_FILEMUSTEXIST; no
    // overwrite prompt either, an existing list is replaced as chosen.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!ShowChecklistDialog(&dialog, GetSaveFileNameW))
        return 0;
    SaveChecksumListTo(name);
    return 0;
}
