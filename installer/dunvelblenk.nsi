; DunvelBlenk's setup. scripts/package makes it with
;   makensis -DVERSION=x.y.z -DFILES=files.nsh -DLICENSE_FILE=LICENSE -DOUTFILE=setup.exe dunvelblenk.nsi
; where files.nsh (written by scripts/package) installs and removes exactly the files it stages.
;
; Who it installs for: for the current user by default, with no administrator prompt, into
; %LOCALAPPDATA%\Programs\DunvelBlenk with the user's Start menu and HKCU; for all users when the
; setup runs elevated ("Run as administrator", or an administrator without UAC), into Program
; Files with the common Start menu and HKLM. /CURRENTUSER installs for the current user even when
; elevated; /ALLUSERS refuses to go on unless elevated. The uninstaller finds its way from where
; it was installed.

!ifndef VERSION | FILES | LICENSE_FILE | OUTFILE
    !error "scripts/package defines VERSION, FILES, LICENSE_FILE and OUTFILE"
!endif

Unicode true
; The program is 64-bit only; a 64-bit setup writes the 64-bit registry and Program Files itself.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PUBLISHER "The DunvelBlenk authors"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\DunvelBlenk"
!define CLASSES "Software\Classes"
!define PROGID "DunvelBlenk.FilterScript"
; The main window's class: a running program holds its files open.
!define WINDOW_CLASS "BLENK"
!define SHCNE_ASSOCCHANGED 0x08000000

Name "DunvelBlenk ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "DunvelBlenk ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "DunvelBlenk"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "DunvelBlenk ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 The DunvelBlenk authors. MIT License."

!define MUI_ICON "${__FILEDIR__}/../src/resources/icons/dunvelblenk.ico"
!define MUI_UNICON "${__FILEDIR__}/../src/resources/icons/dunvelblenk.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\DunvelBlenk.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start DunvelBlenk"

!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "DunvelBlenk, its Start menu entry and the .dvbk file type are removed. Your settings (settings.xml) stay unless you tick $\"remove settings$\"."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

!include "${FILES}"

Var all_users

; Where a mode puts things: SHCTX, $SMPROGRAMS and the default folder all follow the shell context.
Function use_all_users
    StrCpy $all_users 1
    SetShellVarContext all
FunctionEnd
Function use_current_user
    StrCpy $all_users 0
    SetShellVarContext current
FunctionEnd

!macro REFUSE_WHILE_RUNNING
    ${Do}
        FindWindow $0 "${WINDOW_CLASS}"
        ${If} $0 == 0
            ${Break}
        ${EndIf}
        MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "DunvelBlenk is running. Close it, then press OK." /SD IDCANCEL IDOK +2
        Abort
    ${Loop}
!macroend

!macro NOTIFY_ASSOCIATIONS_CHANGED
    System::Call "shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)"
!macroend

Function .onInit
    ${GetParameters} $R0
    ; "Admin" only for an elevated token: under UAC an administrator's ordinary token reads "User".
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 == "Admin"
        Call use_all_users
    ${Else}
        Call use_current_user
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CURRENTUSER" $R2
    ${IfNot} ${Errors}
        Call use_current_user
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R2
    ${IfNot} ${Errors}
    ${AndIf} $all_users == 0
        MessageBox MB_OK|MB_ICONSTOP "Installing DunvelBlenk for all users needs administrator rights: start the setup with Run as administrator." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}

    ; $INSTDIR is only set here when /D= named a folder. Otherwise an earlier install of the same
    ; mode is updated where it is.
    ${If} $INSTDIR == ""
        ReadRegStr $INSTDIR SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${EndIf}
    ${If} $INSTDIR == ""
    ${AndIf} $all_users == 1
        StrCpy $INSTDIR "$PROGRAMFILES64\DunvelBlenk"
    ${ElseIf} $INSTDIR == ""
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\DunvelBlenk"
    ${EndIf}
    !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Section "DunvelBlenk"
    SectionIn RO
    !insertmacro INSTALL_FILES
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\DunvelBlenk.lnk" "$INSTDIR\DunvelBlenk.exe" "" "$INSTDIR\DunvelBlenk.exe" 0 \
        SW_SHOWNORMAL "" "Mutes and covers a film on cue"

    ; Double-clicking a script opens it; OpenWithProgids keeps the program in "Open with" after
    ; another one takes the type over.
    WriteRegStr SHCTX "${CLASSES}\.dvbk" "" "${PROGID}"
    WriteRegStr SHCTX "${CLASSES}\.dvbk\OpenWithProgids" "${PROGID}" ""
    WriteRegStr SHCTX "${CLASSES}\${PROGID}" "" "DunvelBlenk filter script"
    ; A negative index names the icon's resource id (IDI_LARGE_ICON), not its place in the list.
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\DunvelBlenk.exe,-131"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\DunvelBlenk.exe" "%1"'

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "DunvelBlenk"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\DunvelBlenk.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

    !insertmacro NOTIFY_ASSOCIATIONS_CHANGED
SectionEnd

Section "un.DunvelBlenk"
    SectionIn RO
    Delete "$SMPROGRAMS\DunvelBlenk.lnk"

    ; The type stays when another program has taken it over since.
    ReadRegStr $0 SHCTX "${CLASSES}\.dvbk" ""
    ${If} $0 == "${PROGID}"
        DeleteRegValue SHCTX "${CLASSES}\.dvbk" ""
    ${EndIf}
    DeleteRegValue SHCTX "${CLASSES}\.dvbk\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty SHCTX "${CLASSES}\.dvbk\OpenWithProgids"
    ReadRegStr $0 SHCTX "${CLASSES}\.dvbk" ""
    ${If} $0 == ""
        DeleteRegKey /ifempty SHCTX "${CLASSES}\.dvbk"
    ${EndIf}
    DeleteRegKey SHCTX "${CLASSES}\${PROGID}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"

    ; File by file: the folder may hold the user's own files too.
    !insertmacro UNINSTALL_FILES
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"

    !insertmacro NOTIFY_ASSOCIATIONS_CHANGED
SectionEnd

; The settings live in the all-users application data folder however the program was installed
; (the program reads them from there), and are kept unless asked.
Section /o "un.remove settings" remove_settings
    SetShellVarContext all
    Delete "$APPDATA\DunvelBlenk\settings.xml"
    Delete "$APPDATA\DunvelBlenk\mute_marker.xml"
    RMDir "$APPDATA\DunvelBlenk"
SectionEnd

Function un.onInit
    ; Installed for all users exactly when the machine's entry names this folder.
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R1 == $INSTDIR
        Call un.use_all_users
    ${Else}
        Call un.use_current_user
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/REMOVESETTINGS" $R2
    ${IfNot} ${Errors}
        SectionSetFlags ${remove_settings} ${SF_SELECTED}
    ${EndIf}

    ; Apps & Features starts the uninstaller with the user's ordinary token; removing what an
    ; elevated setup put in Program Files and HKLM takes an elevated one, so it asks for that
    ; once and hands over.
    ${If} $all_users == 1
        UserInfo::GetAccountType
        Pop $R3
        ${If} $R3 != "Admin"
            StrCpy $R4 ""
            ${If} ${Silent}
                StrCpy $R4 "/S "
            ${EndIf}
            ${If} ${SectionIsSelected} ${remove_settings}
                StrCpy $R4 "$R4/REMOVESETTINGS"
            ${EndIf}
            ExecShell "runas" '"$INSTDIR\Uninstall.exe"' $R4
            Quit
        ${EndIf}
    ${EndIf}
    !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Function un.use_all_users
    StrCpy $all_users 1
    SetShellVarContext all
FunctionEnd
Function un.use_current_user
    StrCpy $all_users 0
    SetShellVarContext current
FunctionEnd
