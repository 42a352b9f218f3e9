; The installer of the Slovenian voice: the 64-bit program folder under
; Program Files, the 32-bit engine libraries beside it in "x86", both pairs
; registered with the regsvr32 of their bitness, and one speech API voice
; token per engine library in the 64-bit registry view and, for the 32-bit
; libraries, in the 32-bit view. A Windows without its 32-bit part (no
; SysWOW64 regsvr32) gets the 64-bit voice alone. Built by "make windows":
;   makensis -DWIN64_DIR=... -DWIN32_DIR=... -DOUT_FILE=... sint-sl.nsi
; Silent with /S; run again, it upgrades in place.

; A 64-bit installer: it runs where 32-bit programs cannot, and it sees the
; system folder and registry without redirection.
Target amd64-unicode
SetCompressor zlib
RequestExecutionLevel admin

!include "FileFunc.nsh"

!define PRODUCT "sint-sl"
!define DISPLAY_NAME "Slovenski govor sint"
!define VERSION "0.9.0.0"
!define TOKENS "SOFTWARE\Microsoft\Speech\Voices\Tokens"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define CLSID_NORMAL "{724AB2C6-4717-4385-9FFB-C576165BD81D}"
!define CLSID_YU "{C3EF0B9A-B383-4D31-9CBC-CD28E81B0611}"
!define TOKEN_NORMAL "SINT-SL-Morvena"
!define TOKEN_YU "SINT-SL-Morvena-YU"
!define PORT 10150
!define LIFESPAN 30

Name "${DISPLAY_NAME}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"

; One voice token: display name, engine class, server and attributes.
!macro WriteToken KEY NAME CLSID MODE
    WriteRegStr HKLM "${TOKENS}\${KEY}" "" "${NAME}"
    WriteRegStr HKLM "${TOKENS}\${KEY}" "424" "${NAME}"
    WriteRegStr HKLM "${TOKENS}\${KEY}" "CLSID" "${CLSID}"
    WriteRegStr HKLM "${TOKENS}\${KEY}" "EnginePath" "$INSTDIR\sintsrv.exe"
    WriteRegDWORD HKLM "${TOKENS}\${KEY}" "Port" ${PORT}
    WriteRegDWORD HKLM "${TOKENS}\${KEY}" "Lifespan" ${LIFESPAN}
    WriteRegDWORD HKLM "${TOKENS}\${KEY}" "Mode" ${MODE}
    WriteRegStr HKLM "${TOKENS}\${KEY}\Attributes" "Language" "424"
    WriteRegStr HKLM "${TOKENS}\${KEY}\Attributes" "Gender" "Female"
    WriteRegStr HKLM "${TOKENS}\${KEY}\Attributes" "Age" "Adult"
    WriteRegStr HKLM "${TOKENS}\${KEY}\Attributes" "Name" "${NAME}"
    WriteRegStr HKLM "${TOKENS}\${KEY}\Attributes" "Vendor" "sint"
!macroend

!macro WriteTokens
    !insertmacro WriteToken "${TOKEN_NORMAL}" "Morvena (slovensko)" "${CLSID_NORMAL}" 0
    !insertmacro WriteToken "${TOKEN_YU}" "Morvena YU (slovensko)" "${CLSID_YU}" 1
!macroend

!macro RemoveTokens
    DeleteRegKey HKLM "${TOKENS}\${TOKEN_NORMAL}"
    DeleteRegKey HKLM "${TOKENS}\${TOKEN_YU}"
!macroend

; The regsvr32 of the 32-bit part, where Windows has one.
!define REGSVR32_32 "$WINDIR\SysWOW64\regsvr32.exe"

; The server of an earlier version may still run from the folder (it ends by
; itself after its lifespan): it is ended, so that its program and wave
; database can be replaced. Asked first, then forced.
!macro StopServer
    nsExec::Exec '"$SYSDIR\taskkill.exe" /IM sintsrv.exe'
    Pop $0
    Sleep 500
    nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM sintsrv.exe'
    Pop $0
!macroend

Function .onInit
    SetRegView 64
FunctionEnd

Section "Install"
    !insertmacro StopServer
    ; Files are replaced in place.
    SetOverwrite on
    SetOutPath "$INSTDIR"
    File /r "${WIN64_DIR}\*.*"

    ; Each bitness with its own regsvr32: the 64-bit one in System32, the
    ; 32-bit one in SysWOW64.
    ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\MorvDll.dll"'
    ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\MorvDllYu.dll"'
    SetRegView 64
    !insertmacro WriteTokens

    ; The 32-bit libraries and their tokens in the 32-bit view (WOW6432Node)
    ; for 32-bit speech applications, where Windows runs them.
    IfFileExists "${REGSVR32_32}" 0 no_wow64
        SetOutPath "$INSTDIR\x86"
        File "${WIN32_DIR}\MorvDll.dll"
        File "${WIN32_DIR}\MorvDllYu.dll"
        SetOutPath "$INSTDIR"
        ExecWait '"${REGSVR32_32}" /s "$INSTDIR\x86\MorvDll.dll"'
        ExecWait '"${REGSVR32_32}" /s "$INSTDIR\x86\MorvDllYu.dll"'
        SetRegView 32
        !insertmacro WriteTokens
        SetRegView 64
    no_wow64:

    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "sint"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    !insertmacro StopServer
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\MorvDll.dll"'
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\MorvDllYu.dll"'
    IfFileExists "${REGSVR32_32}" 0 no_wow64
    IfFileExists "$INSTDIR\x86\MorvDll.dll" 0 no_wow64
        ExecWait '"${REGSVR32_32}" /s /u "$INSTDIR\x86\MorvDll.dll"'
        ExecWait '"${REGSVR32_32}" /s /u "$INSTDIR\x86\MorvDllYu.dll"'
    no_wow64:

    SetRegView 64
    !insertmacro RemoveTokens
    SetRegView 32
    !insertmacro RemoveTokens
    SetRegView 64
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; Everything in the folder came with the installer or was made by the
    ; server beside it (log, wave files); the folder goes whole, unless it is
    ; not the installer's own folder (a folder chosen by hand that may hold
    ; other files), where only the empty folder is removed.
    ${GetFileName} "$INSTDIR" $0
    StrCmp $0 "${PRODUCT}" 0 keep_folder
        RMDir /r "$INSTDIR"
        Goto folder_done
    keep_folder:
        Delete "$INSTDIR\uninstall.exe"
        RMDir "$INSTDIR"
    folder_done:
SectionEnd
