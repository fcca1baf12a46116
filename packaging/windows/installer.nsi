; The Windows installer: per user, no administrator rights, under
; %LOCALAPPDATA%\Programs. scripts/build-windows.sh passes VERSION, STAGE (the
; folder of the zip), OUTFILE and the two lists of files it writes.
Unicode true
Target amd64-unicode
!include "MUI2.nsh"

Name "ヌピカ貯めよう！"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\hibinobori"
SetCompressor /SOLID lzma
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\hibinobori"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Section
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    !include "${FILE_LIST}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The ledger's folder: made if missing, its files never touched.
    CreateDirectory "$DOCUMENTS\ヒビノボリ"
    ; A shortcut starts in the folder that is the output path when it is made.
    SetOutPath "$DOCUMENTS\ヒビノボリ"
    CreateShortcut "$SMPROGRAMS\ヌピカ貯めよう！.lnk" "$INSTDIR\hibinobori.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "ヌピカ貯めよう！"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\hibinobori.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Hibinobori"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes the files it installed, one by one, and the folders when they are
; left empty: a ledger, goal or backup kept beside the program stays.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\ヌピカ貯めよう！.lnk"
    !include "${REMOVE_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
