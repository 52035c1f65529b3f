; SPDX-License-Identifier: GPL-3.0-or-later
; The installer for a whole school lab: per machine, into Program Files, with a
; Start-menu entry and an uninstaller; silent with /S. It creates the shared record
; folder, lets every user of the machine write it, and never removes it. With
; /RECORDFOLDER=\\server\share\folder (or a mapped drive's folder) every game of the
; machine keeps the class's record in that lab folder on the school's server.
;
; makensis -DVERSION=1.2.3 -DDIST=DIR -DOUTFILE=FILE zarvoni.nsi, where DIR holds
; zarvoni.exe, zarvoni.ico, LEGGIMI.txt and COPYING.txt.

Unicode true
Target amd64-unicode

!macro Required NAME
    !ifndef ${NAME}
        !error "makensis -DVERSION=... -DDIST=... -DOUTFILE=... zarvoni.nsi"
    !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required DIST
!insertmacro Required OUTFILE

!define PRODUCT "Zarvoni"
!define PUBLISHER "Gli autori di Zarvoni"
!define WEBSITE "https://www.zarvoni.example/"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zarvoni"
; The lab folder the installer was told; a machine policy value of the same name
; under Software\Policies\Zarvoni comes first.
!define SETTINGS_KEY "Software\Zarvoni"
; The record folder, under SetShellVarContext all: C:\ProgramData\Zarvoni.
!define RECORD_DIR "$APPDATA\Zarvoni"
; The built-in Users group, by its SID, which is the same in every language.
!define USERS_SID "*S-1-5-32-545"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "MUI2.nsh"

!define MUI_ICON "${DIST}/zarvoni.ico"
!define MUI_UNICON "${DIST}/zarvoni.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for a Windows in neither language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Italian"

LangString NeedsAdministrator ${LANG_ENGLISH} \
    "Zarvoni is installed for every user of this computer: run the installer as an administrator."
LangString NeedsAdministrator ${LANG_ITALIAN} \
    "Zarvoni si installa per tutti gli utenti del computer: avviare l'installazione come amministratore."
LangString ShortcutComment ${LANG_ENGLISH} "First-degree equations against the clock"
LangString ShortcutComment ${LANG_ITALIAN} "Equazioni di primo grado contro il tempo"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Zarvoni ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "FileDescription" "Installazione di Zarvoni ${VERSION}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ITALIAN} "LegalCopyright" "${PUBLISHER}"

; Where User Account Control is off, an account that is not an administrator gets
; no elevation; it could not write Program Files nor the machine's registry.
!macro RequireAdministrator
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP|MB_OK "$(NeedsAdministrator)" /SD IDOK
        SetErrorLevel 740 ; the code Windows gives for "elevation required"
        Quit
    ${EndIf}
!macroend

Function .onInit
    SetShellVarContext all
    SetRegView 64
    !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
    !insertmacro RequireAdministrator
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    File "${DIST}/zarvoni.exe"
    File "${DIST}/LEGGIMI.txt"
    File "${DIST}/COPYING.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zarvoni.exe" "" \
        "$INSTDIR\zarvoni.exe" 0 SW_SHOWNORMAL "" "$(ShortcutComment)"

    ; Every pupil stores the record here, whoever stored the last one: the Users
    ; group may create, change and replace the files of the folder, and this holds
    ; for files created later (OI: files, CI: folders).
    CreateDirectory "${RECORD_DIR}"
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${RECORD_DIR}" /grant ${USERS_SID}:(OI)(CI)M'
    Pop $0
    ${If} $0 != 0
        DetailPrint "icacls: $0"
    ${EndIf}

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zarvoni.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize 0 $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; /RECORDFOLDER=FOLDER: the class's record in that lab folder. Given empty, it
    ; goes back to the record of the machine; not given, it keeps what was set.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/RECORDFOLDER=" $1
    ${IfNot} ${Errors}
        ${If} $1 == ""
            DeleteRegValue HKLM "${SETTINGS_KEY}" "RecordFolder"
        ${Else}
            WriteRegStr HKLM "${SETTINGS_KEY}" "RecordFolder" "$1"
        ${EndIf}
    ${EndIf}
SectionEnd

; The record folder stays: the record belongs to the lab, not to this version, and
; a later installation finds it.
Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\zarvoni.exe"
    Delete "$INSTDIR\LEGGIMI.txt"
    Delete "$INSTDIR\COPYING.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd
