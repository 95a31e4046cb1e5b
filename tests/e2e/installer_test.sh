#!/usr/bin/env bash
# The setup program under Wine, as a user meets it:
#   installer_test.sh PREFIX_BUILD_DIR BUILD_DIR SETUP DRIVER VERSION
# installs BUILD_DIR's setup program silently into the test prefix (that of
# PREFIX_BUILD_DIR), reads every key back
# with `reg query` and checks every file, checks a .qcx list through its
# association and scans a folder through its context-menu verb (the shell
# carrying out the verbs as Explorer would, the driver reading the rows of
# the program it started), then uninstalls and compares the user's part of
# the prefix with what it was before. A foreign association of a list's
# extension, and another program's "Open with" entry, must come through
# untouched.
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
. "$here/../../scripts/wine-env.sh"
session=$1
build=$2
setup=$3
driver=$4
version=$5
if [ ! -f "$session/wineprefix/.talvor-ready" ] || ! talvor_display_up; then
    talvor_wine_start "$session" || exit 1
fi
talvor_wine_env "$session"
# Wine would mirror the Start-menu shortcut into the host's menus.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

win() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
user_folder() { winepath -u "$(win cmd /c echo "%$1%")"; }

local_app_data=$(user_folder LOCALAPPDATA)
app_data=$(user_folder APPDATA)
profile=$(user_folder USERPROFILE)
instdir="$local_app_data/Programs/TALVOR CRC Check"
shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/TALVOR CRC Check.lnk"
instdir_win='C:\users\'$(basename "$profile")'\AppData\Local\Programs\TALVOR CRC Check'
classes='HKCU\Software\Classes'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TalvorCrcCheck'
scratch="$build/tests/e2e/installer_scratch"
# The names checksum lists go by that the program is offered for.
list_extensions=(.sha3 .sha3-224 .sha3-256 .sha3-384 .sha3-512 .crc32c .sha256 .sha256sum .sha224
    .sha384 .sha512 .sha512sum .sha1 .sha1sum .md5 .md5sum .b3 .blake3 .xxh3 .xxh128 .crc32 .sfv)
list_names=(SHA3-224SUMS SHA3-256SUMS SHA3-384SUMS SHA3-512SUMS CRC32CSUMS SHA256SUMS SHA224SUMS SHA384SUMS SHA512SUMS SHA1SUMS MD5SUMS B3SUMS BLAKE3SUMS XXH3SUMS XXH128SUMS CRC32SUMS)

# The user's part of the prefix: the files below the profile (but the
# temporary folder) and the keys an installer may touch.
snapshot() {
    (cd "$profile" && find . -path ./AppData/Local/Temp -prune -o -print | LC_ALL=C sort)
    local key
    for key in "$classes" 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
        echo "== $key"
        win reg query "$key" /s
    done
}

# reg query's line for one value: "    NAME    TYPE    DATA".
expect_value() {
    local key=$1 name=$2 type=$3 data=$4 line
    if [ -z "$name" ]; then
        line=$(win reg query "$key" /ve | grep -F '    (Default)    ')
        name='(Default)'
    else
        line=$(win reg query "$key" /v "$name" | grep -F "    $name    ")
    fi
    [ "$line" = "    $name    $type    $data" ] || fail "$key [$name]: '$line', not $type '$data'"
}

expect_verb() {
    local key=$1 text=$2 argument=$3
    expect_value "$key" "" REG_SZ "$text"
    expect_value "$key" Icon REG_SZ "$instdir_win\\TalvorCrcCheck.exe,0"
    expect_value "$key\\command" "" REG_SZ "\"$instdir_win\\TalvorCrcCheck.exe\" \"$argument\""
}

expect_no_key() {
    win reg query "$1" >/dev/null 2>&1 && fail "$1 is still there"
}

# As the uninstaller does by itself, but waited for: a copy outside the
# folder it empties, told where that folder is. NSIS reads "_?=" only
# unquoted and last on the line, so a batch file passes the line as written
# (and waits for the program, which an interactive cmd would not).
run_uninstaller() {
    mkdir -p "$scratch/uninstaller"
    cp "$instdir/uninstall.exe" "$scratch/uninstaller/"
    printf '@"%s" /S _?=%s\r\n' "$(winepath -w "$scratch/uninstaller/uninstall.exe")" "$instdir_win" \
        >"$scratch/uninstaller/run.bat"
    win cmd /c "$(winepath -w "$scratch/uninstaller/run.bat")" >/dev/null
    local result=$?
    rm -rf "$scratch/uninstaller"
    return $result
}

# A left-over installation from an interrupted run goes first.
rm -rf "$scratch"
if [ -e "$instdir/uninstall.exe" ]; then
    run_uninstaller
fi
mkdir -p "$scratch/tree"
printf abc >"$scratch/tree/a.txt"
printf 123456789 >"$scratch/tree/b.txt"
scratch_win=$(winepath -w "$scratch")

win reg add "$classes\\.sha3" /ve /d Other.sha3 /f >/dev/null
win reg add "$classes\\.md5" /ve /d Other.md5 /f >/dev/null
win reg add "$classes\\.md5\\OpenWithProgids" /v Other.md5 /d "" /f >/dev/null
before=$(snapshot)

# ---- Install -------------------------------------------------------------------
wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the silent install ended with $?"
for file in TalvorCrcCheck.exe TalvorCrcCheck.com README.md uninstall.exe; do
    [ -f "$instdir/$file" ] || fail "$instdir/$file is missing"
done
cmp -s "$build/app/TalvorCrcCheck.exe" "$instdir/TalvorCrcCheck.exe" || fail "installed program differs"
cmp -s "$build/app/TalvorCrcCheck.com" "$instdir/TalvorCrcCheck.com" || fail "installed companion differs"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"

expect_value "$uninstall_key" DisplayName REG_SZ "TALVOR CRC Check"
expect_value "$uninstall_key" DisplayVersion REG_SZ "$version"
expect_value "$uninstall_key" Publisher REG_SZ Ostrik
expect_value "$uninstall_key" DisplayIcon REG_SZ "$instdir_win\\TalvorCrcCheck.exe,0"
expect_value "$uninstall_key" InstallLocation REG_SZ "$instdir_win"
expect_value "$uninstall_key" UninstallString REG_SZ "\"$instdir_win\\uninstall.exe\""
expect_value "$uninstall_key" QuietUninstallString REG_SZ "\"$instdir_win\\uninstall.exe\" /S"
expect_value "$uninstall_key" NoModify REG_DWORD 0x1
expect_value "$uninstall_key" NoRepair REG_DWORD 0x1
size_kb=$(( ($(du -sb "$instdir" | cut -f1) + 1023) / 1024 ))
size=$(win reg query "$uninstall_key" /v EstimatedSize | awk '$1 == "EstimatedSize" { print $3 }')
[ $((size)) -ge $((size_kb * 9 / 10)) ] && [ $((size)) -le $((size_kb + 8)) ] ||
    fail "EstimatedSize $size for $size_kb KB"

expect_value "$classes\\.qcx" "" REG_SZ TalvorCrcCheck.qcx
expect_value "$classes\\TalvorCrcCheck.qcx\\DefaultIcon" "" REG_SZ "$instdir_win\\TalvorCrcCheck.exe,0"
expect_value "$classes\\TalvorCrcCheck.qcx\\shell" "" REG_SZ Check
expect_verb "$classes\\TalvorCrcCheck.qcx\\shell\\Check" "Check with TALVOR CRC Check" "-chk=%1"
expect_verb "$classes\\TalvorCrcCheck.list\\shell\\Check" "Check with TALVOR CRC Check" "-chk=%1"
expect_verb "$classes\\*\\shell\\TalvorCrcCheck.Check" "Check with TALVOR CRC Check" "-chk=%1"
expect_value "$classes\\*\\shell\\TalvorCrcCheck.Check" AppliesTo REG_SZ \
    "$(printf 'System.FileName:="%s" OR ' "${list_names[@]}" | sed 's/ OR $//')"
for extension in "${list_extensions[@]}"; do
    expect_value "$classes\\$extension\\OpenWithProgids" TalvorCrcCheck.list REG_SZ ""
done
expect_value "$classes\\.sha3" "" REG_SZ Other.sha3
expect_value "$classes\\.md5" "" REG_SZ Other.md5
expect_value "$classes\\.md5\\OpenWithProgids" Other.md5 REG_SZ ""
expect_verb "$classes\\Directory\\shell\\TalvorCrcCheck.Scan" "Scan with TALVOR CRC Check" "-dir=%V"
expect_verb "$classes\\Directory\\Background\\shell\\TalvorCrcCheck.Scan" "Scan with TALVOR CRC Check" "-dir=%V"

# ---- The verbs, through the shell --------------------------------------------------
# Windows reads HKEY_CLASSES_ROOT as the user's classes over the machine's;
# Wine 8 reads only the machine's. So the user's entries are copied there
# for the shell to find, as written, except that Wine leaves %V (the folder
# of a folder verb, as Windows documents it) empty: the copy has %1, which
# for a folder item Windows expands alike. The copies go again afterwards,
# with any key they made.
mirrored=(.qcx TalvorCrcCheck.qcx Directory)
absent=()
for key in "${mirrored[@]}"; do
    win reg query "HKCR\\$key" >/dev/null 2>&1 || absent+=("$key")
done
for key in .qcx TalvorCrcCheck.qcx 'Directory\shell\TalvorCrcCheck.Scan'; do
    # reg's own words, should a step fail.
    said=$(wine reg export "$classes\\$key" "$(winepath -w "$scratch/user.reg")" /y </dev/null 2>&1) ||
        fail "cannot export $key: $said"
    iconv -f UTF-16 -t UTF-8 "$scratch/user.reg" |
        sed -e 's/^\[HKEY_CURRENT_USER\\Software\\Classes\\/[HKEY_CLASSES_ROOT\\/' -e 's/%V/%1/' |
        iconv -f UTF-8 -t UTF-16 >"$scratch/root.reg"
    said=$(wine reg import "$(winepath -w "$scratch/root.reg")" </dev/null 2>&1) ||
        fail "cannot copy $key: $said"
done
forget_mirror() {
    win reg delete 'HKCR\Directory\shell\TalvorCrcCheck.Scan' /f >/dev/null 2>&1
    local key
    for key in "${absent[@]}"; do
        win reg delete "HKCR\\$key" /f >/dev/null 2>&1
    done
}

# The list is made by the installed console companion.
win "$instdir/TalvorCrcCheck.com" "-dir=$scratch_win\\tree" "-save=$scratch_win\\list.qcx" -exit >/dev/null ||
    fail "the installed companion could not make the list"
rows=$(win "$driver" --timeout 60000 shell "|$scratch_win\\list.qcx" wait-job rows close)
expected_rows=$(printf '%s\n' "$scratch_win\\tree\\b.txt" "$scratch_win\\tree\\a.txt")
[ "$(printf '%s\n' "$rows" | awk -F '\t' '$3 == "OK" { print $1 }')" = "$expected_rows" ] ||
    fail "opening the list checked nothing: $rows"
printf '%s\n' "$rows" | grep -qx 'exit	0' || fail "the checking program did not end with 0: $rows"

rows=$(win "$driver" --timeout 60000 shell "TalvorCrcCheck.Scan|$scratch_win\\tree" wait-job rows close)
[ "$(printf '%s\n' "$rows" | awk -F '\t' '$3 == "Created" { print $1 }')" = "$expected_rows" ] ||
    fail "the folder verb scanned nothing: $rows"

forget_mirror

# ---- Uninstall ------------------------------------------------------------------------
run_uninstaller || fail "the silent uninstall ended with $?"
expect_no_key "$uninstall_key"
expect_no_key "$classes\\TalvorCrcCheck.qcx"
expect_no_key "$classes\\.qcx"
expect_value "$classes\\.sha3" "" REG_SZ Other.sha3
expect_value "$classes\\.md5\\OpenWithProgids" Other.md5 REG_SZ ""
for extension in "${list_extensions[@]}"; do
    win reg query "$classes\\$extension\\OpenWithProgids" /v TalvorCrcCheck.list >/dev/null 2>&1 &&
        fail "$extension still opens with the program"
done
after=$(snapshot)
[ "$before" = "$after" ] || fail "the prefix differs after uninstalling: $(diff <(echo "$before") <(echo "$after"))"

win reg delete "$classes\\.sha3" /f >/dev/null
win reg delete "$classes\\.md5" /f >/dev/null
rm -rf "$scratch"
[ $failures -eq 0 ] && echo "installer test passed"
exit $((failures > 0))
