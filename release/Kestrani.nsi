; Kestrani's installer and uninstaller, per machine (administrator rights).
; makensis gets the files and the version as defines:
;   KES_VERSION   the four-number version
;   KES_APPLET, KES_SERVICE   the built Kestrani.exe and MorvaithSvc.exe
;   KES_RES       the folder of the default Kestrani.ini, Kestrani.bmp and the icon
;   KES_README    README.txt for Windows users
;   KES_OUTFILE   the installer to write
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define PUBLISHER "Kestrani Project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrani"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The name of the mutex a running applet owns.
!define APPLET_MUTEX "{34B70FAC-6CA1-4042-957C-7755DAD7881A}"
!define SYNCHRONIZE 0x00100000

Name "Kestrani ${KES_VERSION}"
OutFile "${KES_OUTFILE}"
InstallDir "$PROGRAMFILES\Kestrani"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kestrani ${KES_VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${KES_VERSION}"
VIAddVersionKey "ProductName" "Kestrani"
VIAddVersionKey "ProductVersion" "${KES_VERSION}"
VIAddVersionKey "FileVersion" "${KES_VERSION}"
VIAddVersionKey "FileDescription" "Kestrani setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

; 1 when the applet ran before the files were replaced: it is started again.
Var AppletWasRunning
Var FinishText

!define MUI_ICON "${KES_RES}/Kestrani.ico"
!define MUI_UNICON "${KES_RES}/Kestrani.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Kestrani is installed"
!define MUI_FINISHPAGE_TEXT "$FinishText"
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Kestrani now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAppletAsUser
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Kestrani is removed"
!define MUI_FINISHPAGE_TEXT "Kestrani, its service and its autostart are removed.$\r$\n$\r$\nYour layout in $LOCALAPPDATA\Kestrani is kept, and so are files you added to the program folder (WinRing0.dll, lgLcdWrapper.dll). Delete them yourself if you no longer need them."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; Per machine, so only an administrator installs or removes it.
!macro RequireAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "Kestrani is set up for all users of this computer: please run this as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

; Starts the applet with the rights of the logged-on user, not with the
; installer's: the desktop shell starts what explorer.exe is given. An
; elevated applet could not be reached by a later start with the user's
; rights (its mutex refuses them), nor would it see the user's folders.
!macro StartApplet
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Kestrani.exe"'
!macroend

; Closes a running applet with its own stop switch: the program started
; with it asks the running copy to close and waits until it has.
!macro CloseApplet program
  ${If} ${FileExists} "${program}"
    DetailPrint "Closing Kestrani"
    ExecWait '"${program}" /uninstall'
  ${EndIf}
!macroend

; Waits (at most 10 s) until a program file that was running can be
; replaced or deleted.
!macro WaitReleased file
  ${If} ${FileExists} "${file}"
    StrCpy $1 0
    ${Do}
      ClearErrors
      FileOpen $2 "${file}" a
      ${IfNot} ${Errors}
        FileClose $2
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
      ${If} $1 >= 100
        DetailPrint "Still in use: ${file}"
        ${Break}
      ${EndIf}
      Sleep 100
    ${Loop}
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RequireAdmin
  SetShellVarContext current
FunctionEnd

Function un.onInit
  !insertmacro RequireAdmin
  SetShellVarContext current
FunctionEnd

Section "Kestrani" SecMain
  ; The new programs' own switches stop the running ones, wherever those
  ; were installed from.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${KES_APPLET}"
  File "${KES_SERVICE}"
  StrCpy $AppletWasRunning 0
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${APPLET_MUTEX}") p .r0'
  ${If} $0 <> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $AppletWasRunning 1
    !insertmacro CloseApplet "$PLUGINSDIR\Kestrani.exe"
  ${EndIf}
  DetailPrint "Stopping and removing the service"
  nsExec::ExecToLog '"$PLUGINSDIR\MorvaithSvc.exe" -uninstall'
  Pop $0
  !insertmacro WaitReleased "$INSTDIR\Kestrani.exe"
  !insertmacro WaitReleased "$INSTDIR\MorvaithSvc.exe"

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${KES_APPLET}"
  File "${KES_SERVICE}"
  File "${KES_README}"
  ; A copy of the default layout for other users, in a folder the applet
  ; does not look in (an INI file beside Kestrani.exe would win over the
  ; user's own, and could not be written there).
  SetOutPath "$INSTDIR\Default"
  File "${KES_RES}/Kestrani.ini"
  File "${KES_RES}/Kestrani.bmp"
  ; The installing user's layout, where the applet finds it and the user
  ; may change it; a layout the user already has is kept.
  SetOutPath "$LOCALAPPDATA\Kestrani"
  SetOverwrite off
  File "${KES_RES}/Kestrani.ini"
  File "${KES_RES}/Kestrani.bmp"
  SetOverwrite on
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kestrani"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${KES_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kestrani.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  WriteRegStr HKCU "${RUN_KEY}" "Kestrani" '"$INSTDIR\Kestrani.exe"'

  CreateDirectory "$SMPROGRAMS\Kestrani"
  CreateShortCut "$SMPROGRAMS\Kestrani\Kestrani.lnk" "$INSTDIR\Kestrani.exe"
  CreateShortCut "$SMPROGRAMS\Kestrani\Kestrani layout.lnk" "$LOCALAPPDATA\Kestrani\Kestrani.ini"
  CreateShortCut "$SMPROGRAMS\Kestrani\Read me.lnk" "$INSTDIR\README.txt"
  CreateShortCut "$SMPROGRAMS\Kestrani\Uninstall Kestrani.lnk" "$INSTDIR\Uninstall.exe"

  DetailPrint "Installing and starting the service"
  nsExec::ExecToLog '"$INSTDIR\MorvaithSvc.exe" -install'
  Pop $0
  ${If} $AppletWasRunning == 1
    DetailPrint "Starting Kestrani again"
    !insertmacro StartApplet
  ${EndIf}

  ${If} ${FileExists} "$INSTDIR\WinRing0.dll"
    StrCpy $FinishText "The driver library WinRing0.dll is in place in $INSTDIR."
  ${Else}
    StrCpy $FinishText "The service needs the driver library WinRing0.dll, which is not part of Kestrani: copy it with its driver file into $INSTDIR and restart Windows (or run $\"net start MorvaithSvc$\" as administrator)."
  ${EndIf}
  StrCpy $FinishText "$FinishText$\r$\n$\r$\nlgLcdWrapper.dll, for the keyboard's LCD, goes into the same folder."
SectionEnd

Function StartAppletAsUser
  !insertmacro StartApplet
FunctionEnd

; The applet started again by the upgrade needs no second start.
Function FinishShow
  ${If} $AppletWasRunning == 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro CloseApplet "$INSTDIR\Kestrani.exe"
  ${If} ${FileExists} "$INSTDIR\MorvaithSvc.exe"
    DetailPrint "Stopping and removing the service"
    nsExec::ExecToLog '"$INSTDIR\MorvaithSvc.exe" -uninstall'
    Pop $0
  ${EndIf}
  !insertmacro WaitReleased "$INSTDIR\Kestrani.exe"
  !insertmacro WaitReleased "$INSTDIR\MorvaithSvc.exe"

  DeleteRegValue HKCU "${RUN_KEY}" "Kestrani"
  Delete "$SMPROGRAMS\Kestrani\Kestrani.lnk"
  Delete "$SMPROGRAMS\Kestrani\Kestrani layout.lnk"
  Delete "$SMPROGRAMS\Kestrani\Read me.lnk"
  Delete "$SMPROGRAMS\Kestrani\Uninstall Kestrani.lnk"
  RMDir "$SMPROGRAMS\Kestrani"

  Delete "$INSTDIR\Kestrani.exe"
  Delete "$INSTDIR\MorvaithSvc.exe"
  Delete "$INSTDIR\MorvaithSvc.log"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Default\Kestrani.ini"
  Delete "$INSTDIR\Default\Kestrani.bmp"
  RMDir "$INSTDIR\Default"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files the user added stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DetailPrint "Your layout in $LOCALAPPDATA\Kestrani is kept."
SectionEnd
