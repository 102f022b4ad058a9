; The Windows installer of VXORV: the program, its link library and the README
; in one folder, a Start-menu entry, start at log-on (optional), an
; uninstaller. Built by scripts/windows.sh:
;   makensis -DBIN_DIR=<folder of VXORV.exe and winvxbt.dll> -DSOURCE_DIR=<repository>
;            -DVERSION=<x.y.z> -DOUT_FILE=<installer.exe> vxorv.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VXORV"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "VXORV ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\VXORV"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "VXORV (required)" SectionProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${BIN_DIR}/VXORV.exe"
    File "${BIN_DIR}/winvxbt.dll"
    File "${SOURCE_DIR}/README.md"
    File "${SOURCE_DIR}/LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\VXORV.lnk" "$INSTDIR\VXORV.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "VXORV"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VXORV.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A resident tray program: started when any user logs on.
Section "Start at log-on" SectionLogOn
    WriteRegStr HKLM "${RUN_KEY}" "VXORV" '"$INSTDIR\VXORV.exe"'
SectionEnd

; The user's settings (HKCU\Software\VB and VBA Program Settings\VXORV) stay.
Section "Uninstall"
    DeleteRegValue HKLM "${RUN_KEY}" "VXORV"
    Delete "$SMPROGRAMS\VXORV.lnk"
    Delete "$INSTDIR\VXORV.exe"
    Delete "$INSTDIR\winvxbt.dll"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
