; The setup program of TALVOR CRC Check, built by makensis on Linux or
; Windows (scripts/release.sh, or the talvor_setup target of a build folder):
;
;   makensis -DVERSION=0.24b.1537 -DNUMERIC_VERSION=0.24.0.1537 -DFILES=app
;            -DREADME=README.md -DOUTFILE=TalvorCrcCheck-setup.exe scripts/installer.nsi
;
; FILES is the folder of TalvorCrcCheck.exe and TalvorCrcCheck.com. The
; setup program keeps each file's time stamp: for the same bytes every time,
; give them fixed ones.
;
; It installs for the current user alone, without administrator rights,
; under %LOCALAPPDATA%\Programs; /S installs silently with every choice on.
; The uninstaller removes each file, shortcut, key and value the setup
; program added, and only those: a key is removed only once it is empty,
; so what other programs keep beside ours stays.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "TALVOR CRC Check"
!define PUBLISHER "Ostrik"
!define PROGRAM "TalvorCrcCheck.exe"
!define CONSOLE "TalvorCrcCheck.com"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TalvorCrcCheck"
!define CLASSES "Software\Classes"
!define LIST_CLASS "TalvorCrcCheck.qcx"
!define TAGGED_CLASS "TalvorCrcCheck.list"
!define SCAN_VERB "TalvorCrcCheck.Scan"
!define CHECK_VERB "TalvorCrcCheck.Check"
!define SCAN_TEXT "Scan with ${PRODUCT}"
!define CHECK_TEXT "Check with ${PRODUCT}"
; The names checksum lists usually go by, tagged, GNU-style or SFV: their
; extensions get an "Open with" entry (ForEachTaggedExtension; an
; extension's association stays whoever's it is), the *SUMS names, which
; have no extension to hang one on, a verb shown only on files so named.
!define TAGGED_NAMES 'System.FileName:="SHA3-224SUMS" OR System.FileName:="SHA3-256SUMS" OR System.FileName:="SHA3-384SUMS" OR System.FileName:="SHA3-512SUMS" OR System.FileName:="CRC32CSUMS" OR System.FileName:="SHA256SUMS" OR System.FileName:="SHA224SUMS" OR System.FileName:="SHA384SUMS" OR System.FileName:="SHA512SUMS" OR System.FileName:="SHA1SUMS" OR System.FileName:="MD5SUMS" OR System.FileName:="B3SUMS" OR System.FileName:="BLAKE3SUMS" OR System.FileName:="XXH3SUMS" OR System.FileName:="XXH128SUMS" OR System.FileName:="CRC32SUMS"'
!define SHCNE_ASSOCCHANGED 0x08000000

!include "FileFunc.nsh"
!include "LogicLib.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow
VIProductVersion "${NUMERIC_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!macro WriteVerb key text argument
    WriteRegStr HKCU "${key}" "" "${text}"
    WriteRegStr HKCU "${key}" "Icon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${key}\command" "" '"$INSTDIR\${PROGRAM}" "${argument}"'
!macroend

!macro DeleteKeyIfEmpty key
    DeleteRegKey /ifempty HKCU "${key}"
!macroend

!macro AddOpenWith extension
    WriteRegStr HKCU "${CLASSES}\${extension}\OpenWithProgids" "${TAGGED_CLASS}" ""
!macroend

!macro RemoveOpenWith extension
    DeleteRegValue HKCU "${CLASSES}\${extension}\OpenWithProgids" "${TAGGED_CLASS}"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\${extension}\OpenWithProgids"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\${extension}"
!macroend

; Runs `macro` for each usual extension of tagged lists.
!macro ForEachTaggedExtension macro
    !insertmacro ${macro} ".sha3"
    !insertmacro ${macro} ".sha3-224"
    !insertmacro ${macro} ".sha3-256"
    !insertmacro ${macro} ".sha3-384"
    !insertmacro ${macro} ".sha3-512"
    !insertmacro ${macro} ".crc32c"
    !insertmacro ${macro} ".sha256"
    !insertmacro ${macro} ".sha256sum"
    !insertmacro ${macro} ".sha224"
    !insertmacro ${macro} ".sha384"
    !insertmacro ${macro} ".sha512"
    !insertmacro ${macro} ".sha512sum"
    !insertmacro ${macro} ".sha1"
    !insertmacro ${macro} ".sha1sum"
    !insertmacro ${macro} ".md5"
    !insertmacro ${macro} ".md5sum"
    !insertmacro ${macro} ".b3"
    !insertmacro ${macro} ".blake3"
    !insertmacro ${macro} ".xxh3"
    !insertmacro ${macro} ".xxh128"
    !insertmacro ${macro} ".crc32"
    !insertmacro ${macro} ".sfv"
!macroend

!macro AnnounceAssociations
    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
!macroend

Function .onInit
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "${PRODUCT}" SectionProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${FILES}\${PROGRAM}"
    File "${FILES}\${CONSOLE}"
    File "${README}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Explorer: check lists, scan folders" SectionExplorer
    ; .qcx lists are this program's own: a double-click checks them.
    WriteRegStr HKCU "${CLASSES}\.qcx" "" "${LIST_CLASS}"
    WriteRegStr HKCU "${CLASSES}\${LIST_CLASS}" "" "${PRODUCT} checksum list"
    WriteRegStr HKCU "${CLASSES}\${LIST_CLASS}\DefaultIcon" "" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${CLASSES}\${LIST_CLASS}\shell" "" "Check"
    !insertmacro WriteVerb "${CLASSES}\${LIST_CLASS}\shell\Check" "${CHECK_TEXT}" "-chk=%1"

    ; Tagged lists: offered, never taken over.
    WriteRegStr HKCU "${CLASSES}\${TAGGED_CLASS}" "" "Checksum list"
    WriteRegStr HKCU "${CLASSES}\${TAGGED_CLASS}\DefaultIcon" "" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${CLASSES}\${TAGGED_CLASS}\shell" "" "Check"
    !insertmacro WriteVerb "${CLASSES}\${TAGGED_CLASS}\shell\Check" "${CHECK_TEXT}" "-chk=%1"
    !insertmacro ForEachTaggedExtension AddOpenWith
    !insertmacro WriteVerb "${CLASSES}\*\shell\${CHECK_VERB}" "${CHECK_TEXT}" "-chk=%1"
    WriteRegStr HKCU "${CLASSES}\*\shell\${CHECK_VERB}" "AppliesTo" '${TAGGED_NAMES}'

    ; Folders, and the background of an open folder.
    !insertmacro WriteVerb "${CLASSES}\Directory\shell\${SCAN_VERB}" "${SCAN_TEXT}" "-dir=%V"
    !insertmacro WriteVerb "${CLASSES}\Directory\Background\shell\${SCAN_VERB}" "${SCAN_TEXT}" "-dir=%V"

    !insertmacro AnnounceAssociations
SectionEnd

Section "Uninstall"
    Delete "$INSTDIR\${PROGRAM}"
    Delete "$INSTDIR\${CONSOLE}"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    ; Created for us when it was missing; kept when anything else is in it.
    RMDir "$LOCALAPPDATA\Programs"
    Delete "${SHORTCUT}"

    ReadRegStr $0 HKCU "${CLASSES}\.qcx" ""
    ${If} $0 == "${LIST_CLASS}"
        DeleteRegValue HKCU "${CLASSES}\.qcx" ""
    ${EndIf}
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\.qcx"
    DeleteRegKey HKCU "${CLASSES}\${LIST_CLASS}"
    DeleteRegKey HKCU "${CLASSES}\${TAGGED_CLASS}"
    !insertmacro ForEachTaggedExtension RemoveOpenWith
    DeleteRegKey HKCU "${CLASSES}\*\shell\${CHECK_VERB}"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\*\shell"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\*"
    DeleteRegKey HKCU "${CLASSES}\Directory\shell\${SCAN_VERB}"
    DeleteRegKey HKCU "${CLASSES}\Directory\Background\shell\${SCAN_VERB}"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\Directory\Background\shell"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\Directory\Background"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\Directory\shell"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\Directory"
    !insertmacro AnnounceAssociations

    ; Last, so that Apps & features lists the program until it is gone.
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; A new profile has no list of its own until a program adds to it.
    !insertmacro DeleteKeyIfEmpty "Software\Microsoft\Windows\CurrentVersion\Uninstall"
SectionEnd
