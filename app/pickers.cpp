// The two pickers that choose a job's target, the Save dialog, and the
// Options commands.
// A picker only records the target and the pending job; the dispatcher
// starts the job after the command's message has been handled.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstdlib>
#include <cwchar>

#include "app/app.h"
#include "fileio/fileio.h"
#include "window/window.h"
#include "jobs/jobs.h"

namespace {

constexpr DWORD PICKER_NAME_UNITS = MAX_PATH;
// Units of the file-name buffer of the checksum-list dialogs.
constexpr DWORD CHECKLIST_DIALOG_NAME_UNITS = 260;

// The list types Save writes, each as the name it is written for: .qcx
// first, then the tagged list, the GNU lists of the tools users check with,
// and SFV.
#define SAVED_LIST_FILTERS                                                                         \
    L"QCX File type (*.qcx)\0*.qcx\0"                                                              \
    L"Tagged checksum list (*.txt)\0*.txt\0"                                                       \
    L"SHA-256 list, sha256sum (*.sha256)\0*.sha256\0"                                              \
    L"SHA-512 list, sha512sum (*.sha512)\0*.sha512\0"                                              \
    L"SHA-1 list, sha1sum (*.sha1)\0*.sha1\0"                                                      \
    L"MD5 list, md5sum (*.md5)\0*.md5\0"                                                           \
    L"BLAKE3 list, b3sum (*.b3)\0*.b3\0"                                                           \
    L"XXH128 list, xxhsum (*.xxh128)\0*.xxh128\0"                                                  \
    L"SFV list, CRC-32 (*.sfv)\0*.sfv\0"

constexpr wchar_t SAVE_FILTERS[] = SAVED_LIST_FILTERS L"All Files (*.*)\0*.*\0";
// Check and Update list first show every name a list of any of those types
// (and the *SUMS names) goes by.
constexpr wchar_t OPEN_FILTERS[] =
    L"Checksum lists\0*.qcx;*.txt;*SUMS;*.sha256;*.sha256sum;*.sha224;*.sha384;*.sha512;"
    L"*.sha512sum;*.sha1;*.sha1sum;*.md5;*.md5sum;*.b3;*.blake3;*.xxh3;*.xxh128;*.crc32;*.sfv;"
    L"*.sha3;*.sha3-224;*.sha3-256;*.sha3-384;*.sha3-512;*."
    L"crc32c\0" SAVED_LIST_FILTERS L"All Files (*.*)\0*.*\0";

// The settings both checksum-list dialogs (Check's open, Save's save as)
// share: no owner, the filters given, `name` (CHECKLIST_DIALOG_NAME_UNITS
// units, zeroed) as the name buffer. No default extension: a name such as
// SHA256SUMS says its format without one (SaveNameWithExtension). The
// caller adds its own flags.
void FillChecklistDialog(OPENFILENAMEW *dialog, wchar_t *name, const wchar_t *filters)
{
    *dialog = {};
    dialog->lStructSize = sizeof(*dialog);
    dialog->hwndOwner = nullptr;
    dialog->lpstrFilter = filters;
    dialog->nFilterIndex = 1;
    dialog->lpstrFile = name;
    dialog->nMaxFile = CHECKLIST_DIALOG_NAME_UNITS;
}

// The extension of the save filter chosen, from its pattern (".sha256" of
// "*.sha256"); ".qcx" for "*.*".
const wchar_t *ChosenFilterExtension(const OPENFILENAMEW *dialog)
{
    const wchar_t *description = dialog->lpstrFilter;
    for (DWORD index = 1; *description; ++index) {
        const wchar_t *pattern = description + std::wcslen(description) + 1;
        if (index == dialog->nFilterIndex && std::wcscmp(pattern, L"*.*") != 0)
            return pattern + 1;
        description = pattern + std::wcslen(pattern) + 1;
    }
    return L".qcx";
}

// The name chosen, with the chosen type's extension when it needs one (a
// new buffer: free() it); null without memory.
wchar_t *SaveNameWithExtension(const OPENFILENAMEW *dialog)
{
    const wchar_t *name = dialog->lpstrFile;
    const wchar_t *extension = SaveNameNeedsExtension(name) ? ChosenFilterExtension(dialog) : L"";
    return JoinUnits(name, std::wcslen(name), extension);
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
    FillChecklistDialog(&dialog, name, OPEN_FILTERS);
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
    FillChecklistDialog(&dialog, name, SAVE_FILTERS);
    // A Save As dialog must accept new names, so no OFN_FILEMUSTEXIST; no
    // overwrite prompt either, an existing list is replaced as chosen.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!ShowChecklistDialog(&dialog, GetSaveFileNameW))
        return 0;
    wchar_t *path = SaveNameWithExtension(&dialog);
    if (path)
        SaveChecksumListTo(path);
    else
        ShowOutOfMemoryMessage();
    std::free(path);
    return 0;
}
