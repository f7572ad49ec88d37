; The Windows installer: Wingzap for the current user, without an
; administrator, with a Start-menu shortcut, an optional start at logon, an
; entry in Apps & features and an uninstaller. cmake/setup.cmake builds it:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.1.0.0 -DFILES=<build/> -DOUTFILE=<setup.exe>
;            -DCMD_QUIT=<id> -DBACKGROUND_CLASS=<class> -DSETTINGS_KEY=<key> wingzap.nsi
;
; FILES is the build of the shipped exe: Wingzap.exe, package/README.txt,
; package/LICENSE (the texts of the zip) and art/app.ico.
;
; Silent: /S installs, /LOGON with it also starts Wingzap at logon,
; /D=<folder> (last) chooses the folder. The uninstaller's /S keeps the
; settings and statistics.

Unicode true
; A user's program: no elevation prompt. The manifest this writes also
; keeps Windows from elevating a program named "setup" by its name.
RequestExecutionLevel user
ManifestSupportedOS all
ManifestDPIAware true
; The same bytes from every build: no file times, a solid LZMA stream.
SetDateSave off
SetCompressor /SOLID lzma

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wingzap"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define PUBLISHER "The Wingzap developers"
; How long a running Wingzap may take to quit: it repairs every holed
; window and writes its counters first.
!define QUIT_WAIT_MS 10000

Name "Wingzap"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Wingzap"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Wingzap ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${FILES}\art\app.ico"
!define MUI_UNICON "${FILES}\art\app.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(Welcome)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom LogonPage LogonPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Wingzap.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.SettingsPage un.SettingsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString Welcome ${LANG_ENGLISH} "This installs Wingzap ${VERSION}, the chicken shooting toy for your desktop, for you alone: it needs no administrator.$\r$\n$\r$\nA Wingzap that is running is asked to quit first. Your settings and statistics stay.$\r$\n$\r$\n$_CLICK"
LangString Welcome ${LANG_GERMAN} "Hiermit wird Wingzap ${VERSION}, das Hühnerschießspiel für Ihren Desktop, nur für Sie installiert: Administratorrechte sind nicht nötig.$\r$\n$\r$\nEin laufendes Wingzap wird zuerst beendet. Ihre Einstellungen und Statistiken bleiben erhalten.$\r$\n$\r$\n$_CLICK"
LangString LogonTitle ${LANG_ENGLISH} "Start at logon"
LangString LogonTitle ${LANG_GERMAN} "Start bei der Anmeldung"
LangString LogonSubtitle ${LANG_ENGLISH} "Choose whether Wingzap starts by itself."
LangString LogonSubtitle ${LANG_GERMAN} "Wählen Sie, ob Wingzap von selbst startet."
LangString Logon ${LANG_ENGLISH} "Start Wingzap when I log on"
LangString Logon ${LANG_GERMAN} "Wingzap bei meiner Anmeldung starten"
LangString StartNow ${LANG_ENGLISH} "Start Wingzap now"
LangString StartNow ${LANG_GERMAN} "Wingzap jetzt starten"
LangString SettingsTitle ${LANG_ENGLISH} "Settings and statistics"
LangString SettingsTitle ${LANG_GERMAN} "Einstellungen und Statistiken"
LangString SettingsSubtitle ${LANG_ENGLISH} "Choose whether they go too."
LangString SettingsSubtitle ${LANG_GERMAN} "Wählen Sie, ob sie mit entfernt werden."
LangString RemoveSettings ${LANG_ENGLISH} "Also remove my settings and statistics"
LangString RemoveSettings ${LANG_GERMAN} "Auch meine Einstellungen und Statistiken entfernen"
LangString StillRunning ${LANG_ENGLISH} "Wingzap is running and did not quit within 10 seconds. Nothing was changed.$\r$\n$\r$\nQuit Wingzap through Quit in its tray menu, then try again."
LangString StillRunning ${LANG_GERMAN} "Wingzap läuft und hat sich nicht innerhalb von 10 Sekunden beendet. Es wurde nichts geändert.$\r$\n$\r$\nBeenden Sie Wingzap über Beenden in seinem Menü im Infobereich und versuchen Sie es dann erneut."

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Wingzap"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Wingzap Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"

Var Logon          ; 1: the Run value is written
Var LogonBox
Var RemoveSettings ; 1: the uninstaller deletes the settings key too
Var RemoveSettingsBox

; German exactly where the program speaks German: by the primary language
; of the user's locale, not of the Windows display language NSIS would take.
!macro PICK_LANGUAGE
  System::Call 'kernel32::GetUserDefaultLCID() i .r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = 7 ; LANG_GERMAN of winnt.h; NSIS's own ${LANG_GERMAN} is the whole LANGID
    StrCpy $LANGUAGE ${LANG_GERMAN}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
!macroend

; Asks a running Wingzap to quit as its tray menu's Quit does, so that it
; repairs the holes and writes its counters, and waits for its process to
; end. When it does not end in time, nothing has been changed yet: the user
; is told, and the run stops (silent: with exit code 2).
!macro QUIT_WINGZAP un
Function ${un}QuitWingzap
  FindWindow $0 "${BACKGROUND_CLASS}"
  ${If} $0 = 0
    Return
  ${EndIf}
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
  ; SYNCHRONIZE: enough to wait for it, granted for a process of one's own.
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
  System::Call 'user32::PostMessage(p r0, i ${WM_COMMAND}, p ${CMD_QUIT}, p 0)'
  ${If} $2 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i ${QUIT_WAIT_MS}) i .r3'
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $3 = 0
      Return
    ${EndIf}
  ${Else}
    ; No handle: the window's end, polled, stands for the process's.
    StrCpy $3 0
    ${Do}
      Sleep 100
      IntOp $3 $3 + 100
      FindWindow $0 "${BACKGROUND_CLASS}"
      ${If} $0 = 0
        Return
      ${EndIf}
    ${LoopUntil} $3 >= ${QUIT_WAIT_MS}
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
  SetErrorLevel 2
  Quit
FunctionEnd
!macroend
!insertmacro QUIT_WINGZAP ""
!insertmacro QUIT_WINGZAP "un."

Function .onInit
  !insertmacro PICK_LANGUAGE
  ; Start at logon stays as an earlier install left it unless changed.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Wingzap"
  ${If} $0 != ""
    StrCpy $Logon 1
  ${Else}
    StrCpy $Logon 0
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/LOGON" $1
  ${IfNot} ${Errors}
    StrCpy $Logon 1
  ${EndIf}
FunctionEnd

Function LogonPage
  !insertmacro MUI_HEADER_TEXT "$(LogonTitle)" "$(LogonSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "$(Logon)"
  Pop $LogonBox
  ${NSD_SetState} $LogonBox $Logon
  nsDialogs::Show
FunctionEnd

Function LogonPageLeave
  ${NSD_GetState} $LogonBox $Logon
FunctionEnd

Section
  Call QuitWingzap
  SetOutPath "$INSTDIR"
  File "${FILES}\Wingzap.exe"
  File "${FILES}\package\README.txt"
  File "${FILES}\package\LICENSE"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Wingzap.lnk" "$INSTDIR\Wingzap.exe"

  ${If} $Logon = 1
    WriteRegStr HKCU "${RUN_KEY}" "Wingzap" '"$INSTDIR\Wingzap.exe"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "Wingzap"
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Wingzap"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Wingzap.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  !insertmacro PICK_LANGUAGE
  StrCpy $RemoveSettings 0
FunctionEnd

Function un.SettingsPage
  !insertmacro MUI_HEADER_TEXT "$(SettingsTitle)" "$(SettingsSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "$(RemoveSettings)"
  Pop $RemoveSettingsBox
  ${NSD_SetState} $RemoveSettingsBox $RemoveSettings
  nsDialogs::Show
FunctionEnd

Function un.SettingsPageLeave
  ${NSD_GetState} $RemoveSettingsBox $RemoveSettings
FunctionEnd

Section "Uninstall"
  Call un.QuitWingzap
  Delete "$INSTDIR\Wingzap.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files of the user's own stay, and so does the folder.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Wingzap.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Wingzap"
  ${If} $RemoveSettings = 1
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${EndIf}
  ; Last: Apps & features lists Wingzap until everything else is gone.
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
