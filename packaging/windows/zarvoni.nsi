; SPDX-License-Identifier: GPL-3.0-or-later
; The installer for a whole school lab: per machine, into Program Files, with a
; Start-menu entry and an uninstaller; silent with /S. It creates the shared record
; folder, lets every user of the machine write it, and never removes it. With
; /RECORDFOLDER=\\server\share\folder (or a mapped drive's folder) every game of the
; machine keeps the class's record in that lab folder on the school's server.
; The Start menu's "Risultati di Zarvoni" writes the teacher's sheet of the
; class's results; the results folder beside the record lets every user add a
; line but only administrators read. /RESULTS=no turns the results off,
; /RESULTSACCOUNT=yes adds the account name to each line.
;
; makensis -DVERSION=1.2.3 -DDIST=DIR -DOUTFILE=FILE zarvoni.nsi, where DIR holds
; zarvoni.exe, zarvoni-risultati.exe, zarvoni.ico, LEGGIMI.txt and COPYING.txt.

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
; The class's results, beside the record.
!define RESULTS_DIR "${RECORD_DIR}\risultati"
!define RESULTS_SHORTCUT "$SMPROGRAMS\Risultati di Zarvoni.lnk"
; Rights on the results folder, by SIDs: SYSTEM and Administrators full, on the
; folder and everything in it. Users may add files to the folder (WD) but not list
; it, and append to its files (AD) but neither read, overwrite nor delete them; a
; file's owner gets no more (OWNER RIGHTS, S-1-3-4), or the pupil who made a
; month's file could give themselves the right to read it. Nothing inherited from
; the record folder, where Users may modify.
; Two calls: a grant that replaces (:r) would also replace the Users group's other
; grant made in the same call.
!define RESULTS_FOLDER_RIGHTS "/inheritance:r /grant:r *S-1-5-18:(OI)(CI)F \
    *S-1-5-32-544:(OI)(CI)F ${USERS_SID}:(WD,X,RA,S)"
!define RESULTS_FILE_RIGHTS "/grant ${USERS_SID}:(OI)(IO)(AD,RA,S) *S-1-3-4:(OI)(IO)(AD,RA,S)"

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
LangString ResultsComment ${LANG_ENGLISH} "The class's results in one sheet, in Documents"
LangString ResultsComment ${LANG_ITALIAN} "I risultati della classe in un foglio, in Documenti"

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

; Gives rights on a folder; a refusal is told in the details, and the installation
; goes on.
!macro Icacls FOLDER RIGHTS
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${FOLDER}" ${RIGHTS}'
    Pop $0
    ${If} $0 != 0
        DetailPrint "icacls: $0"
    ${EndIf}
!macroend

; A switch of the command line kept as a value of the setting: given empty, the
; value goes; not given, it stays as it was.
!macro SettingSwitch OPTION VALUE
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "${OPTION}" $1
    ${IfNot} ${Errors}
        ${If} $1 == ""
            DeleteRegValue HKLM "${SETTINGS_KEY}" "${VALUE}"
        ${Else}
            WriteRegStr HKLM "${SETTINGS_KEY}" "${VALUE}" "$1"
        ${EndIf}
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
    File "${DIST}/zarvoni-risultati.exe"
    File "${DIST}/LEGGIMI.txt"
    File "${DIST}/COPYING.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zarvoni.exe" "" \
        "$INSTDIR\zarvoni.exe" 0 SW_SHOWNORMAL "" "$(ShortcutComment)"
    CreateShortcut "${RESULTS_SHORTCUT}" "$INSTDIR\zarvoni-risultati.exe" "" \
        "$INSTDIR\zarvoni-risultati.exe" 0 SW_SHOWNORMAL "" "$(ResultsComment)"

    ; Every pupil stores the record here, whoever stored the last one: the Users
    ; group may create, change and replace the files of the folder, and this holds
    ; for files created later (OI: files, CI: folders).
    CreateDirectory "${RECORD_DIR}"
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${RECORD_DIR}" /grant ${USERS_SID}:(OI)(CI)M'
    Pop $0
    ${If} $0 != 0
        DetailPrint "icacls: $0"
    ${EndIf}
    CreateDirectory "${RESULTS_DIR}"
    !insertmacro Icacls "${RESULTS_DIR}" "${RESULTS_FOLDER_RIGHTS}"
    !insertmacro Icacls "${RESULTS_DIR}" "${RESULTS_FILE_RIGHTS}"

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
    ; /RESULTS=no and /RESULTSACCOUNT=yes, kept in the same way.
    !insertmacro SettingSwitch "/RESULTS=" "Results"
    !insertmacro SettingSwitch "/RESULTSACCOUNT=" "ResultsAccount"
SectionEnd

; The record folder stays, with the results beside it: they belong to the lab, not
; to this version, and a later installation finds them.
Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "${RESULTS_SHORTCUT}"
    Delete "$INSTDIR\zarvoni.exe"
    Delete "$INSTDIR\zarvoni-risultati.exe"
    Delete "$INSTDIR\LEGGIMI.txt"
    Delete "$INSTDIR\COPYING.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd
