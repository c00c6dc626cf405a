; The Zapnix installer: the 32-bit program for the current user, without
; administrator rights, in the user's own programs folder.
;
; Built by scripts/release:
;   makensis -DVERSION=7.1.0 -DVERSION_QUAD=7.1.0.0 -DSOURCE=<folder of the files> \
;            -DOUTFILE=<setup.exe> installer/Zapnix.nsi
;
; Command line of the installer:
;   /S                  silent: no pages, no questions
;   /AUTOSTART=yes|no   start Zapnix at sign-in or not (default: as the copy being
;                       replaced had it; yes for a first installation)
;   /D=<folder>         where to install (last on the line, no quotes)
; of the uninstaller:
;   /S                  silent
;   /REMOVELISTS        also remove the user's white and black lists
;
; A failure (a running Zapnix that will not close, a folder that cannot be
; written, a file in use) leaves the earlier state as it was, tells why in a
; message box (in silent mode on the standard error stream, when there is one)
; and ends with exit code 2.

!ifndef VERSION | VERSION_QUAD | SOURCE | OUTFILE
  !error "define VERSION, VERSION_QUAD, SOURCE and OUTFILE (see scripts/release)"
!endif

Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define PRODUCT "Zapnix"
!define COMPANY "Vantrel Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zapnix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where Zapnix keeps the user's lists (HKEY_CURRENT_USER).
!define LISTS_KEY "Vantrel Software\Popup Zapnix"
!define LISTS_PARENT_KEY "Vantrel Software"
; The engine's class registration, which Zapnix writes at every start.
!define ENGINE_SERVER_KEY "Software\Classes\CLSID\{BFE99D69-1EEB-404A-9B33-EB5E5123C84A}\InprocServer32"
; The running program: its main window, and the message that asks it to close.
!define MAIN_WINDOW_CLASS "TForm1"
!define MAIN_WINDOW_TEXT "Vantrel Zapnix"
!define CLOSE_MESSAGE "ZapnixCanClose"
; How long a closing Zapnix may take before the user is asked.
!define CLOSE_WAIT_MS 15000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "StrFunc.nsh"
${StrStr}

!define MUI_ICON "${__FILEDIR__}\..\resources\Zapnix.ico"
!define MUI_UNICON "${__FILEDIR__}\..\resources\Zapnix.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION}, the pop-up blocker, for you alone: it needs no administrator rights.$\r$\n$\r$\nA running ${PRODUCT} is asked to close before its files are replaced.$\r$\n$\r$\nYour white and black lists are kept."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Zapnix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "Your white and black lists are kept, so that they are there again if you install ${PRODUCT} later. Tick the box to remove them too."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var FailText

; ---------------------------------------------------------------------------
; Shared by the installer and the uninstaller (NSIS wants the uninstaller's
; functions under names that begin with "un.").

!macro SHARED_FUNCTIONS un
; Tells $FailText to the user: a message box, or in silent mode the standard
; error stream of whoever started us.
Function ${un}ReportFailure
  DetailPrint "$FailText"
  MessageBox MB_OK|MB_ICONSTOP "$FailText" /SD IDOK
  ${If} ${Silent}
    System::Call 'kernel32::GetStdHandle(i -12) p .r0'
    ${If} $0 P<> 0
    ${AndIf} $0 P<> -1
      StrCpy $1 "${PRODUCT} setup: $FailText$\r$\n"
      System::Call 'kernel32::lstrlenA(m r1) i .r2'
      System::Call 'kernel32::WriteFile(p r0, m r1, i r2, *i 0, p 0) i'
    ${EndIf}
  ${EndIf}
FunctionEnd

; Asks a running Zapnix to close, as the engine does, and waits until its
; process has ended. Sets the error flag when it still runs and the user gives
; up (in silent mode: after two requests).
Function ${un}CloseZapnix
  System::Call 'user32::RegisterWindowMessageW(w "${CLOSE_MESSAGE}") i .r0'
  StrCpy $3 0  ; requests since the user last said "Retry"
  ${Do}
    FindWindow $1 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_TEXT}"
    ${If} $1 = 0
      ClearErrors
      Return
    ${EndIf}
    ${If} $3 >= 2
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running and did not close when asked.$\r$\n$\r$\nEnd it (right-click its tray icon and choose Exit), then choose Retry." /SD IDCANCEL IDRETRY +3
      SetErrors
      Return
      StrCpy $3 0
    ${EndIf}
    IntOp $3 $3 + 1
    DetailPrint "Asking the running ${PRODUCT} to close"
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2) i'
    ; SYNCHRONIZE: enough to wait for its end.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r2) p .r4'
    ; SMTO_ABORTIFHUNG: a hung program does not hang the setup.
    System::Call 'user32::SendMessageTimeoutW(p r1, i r0, p 0, p 0, i 2, i 5000, *p .r5) p'
    ${If} $4 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r4, i ${CLOSE_WAIT_MS}) i'
      System::Call 'kernel32::CloseHandle(p r4) i'
    ${Else}
      ; No handle to wait on: wait for the window to go.
      StrCpy $5 0
      ${Do}
        Sleep 100
        IntOp $5 $5 + 100
        System::Call 'user32::IsWindow(p r1) i .r6'
        ${If} $6 = 0
        ${OrIf} $5 >= ${CLOSE_WAIT_MS}
          ${ExitDo}
        ${EndIf}
      ${Loop}
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

; Stops the setup: tells why and ends with exit code 2.
!macro FAIL un text
  StrCpy $FailText "${text}"
  Call ${un}ReportFailure
  SetErrorLevel 2
  Abort
!macroend

; ---------------------------------------------------------------------------
; The installer.
;
; The earlier copy's files are first moved aside to <name>.zxold: a file that
; cannot be moved is in use, and nothing has been replaced yet. Then the new
; files are written; when one cannot be, the new ones go and the old ones come
; back. Only when the new copy is complete are the moved-aside files deleted
; and the shortcut and the registry entries written.

Var MadeFolder
Var Writing
Var MovedZapnix
Var MovedServer
Var MovedHelp
Var MovedLists
Var MovedUninstaller

!macro SET_ASIDE name flag
  StrCpy ${flag} 0
  ${If} ${FileExists} "$INSTDIR\${name}"
    Delete "$INSTDIR\${name}.zxold"
    ClearErrors
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.zxold"
    ${If} ${Errors}
      Call RollBack
      !insertmacro FAIL "" "$INSTDIR\${name} is in use by another program, so it cannot be replaced. Close that program and run the setup again. Nothing was changed."
    ${EndIf}
    StrCpy ${flag} 1
  ${EndIf}
!macroend

!macro PUT_BACK name flag
  ${If} ${flag} = 1
    Delete "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.zxold" "$INSTDIR\${name}"
    StrCpy ${flag} 0
  ${EndIf}
!macroend

!macro PUT_FILE name
  ClearErrors
  File "/oname=$INSTDIR\${name}" "${SOURCE}\${name}"
  ${If} ${Errors}
    Call RollBack
    !insertmacro FAIL "" "$INSTDIR\${name} could not be written. Nothing was changed."
  ${EndIf}
!macroend

!macro INSTALLED_FILES action
  !insertmacro ${action} "Zapnix.exe" $MovedZapnix
  !insertmacro ${action} "ZapnixServer.dll" $MovedServer
  !insertmacro ${action} "Zapnix.chm" $MovedHelp
  !insertmacro ${action} "ZapnixLists.exe" $MovedLists
  !insertmacro ${action} "Uninstall.exe" $MovedUninstaller
!macroend

!macro DELETE_NEW name flag
  Delete "$INSTDIR\${name}"
!macroend

!macro DELETE_SET_ASIDE name flag
  ${If} ${flag} = 1
    Delete "$INSTDIR\${name}.zxold"
  ${EndIf}
!macroend

; Takes back what this setup did to the folder: the new files (once writing
; has begun, every file of ours in the folder is new: the old ones are aside),
; the old ones put back, and the folder itself when this setup made it.
Function RollBack
  ${If} $Writing = 1
    !insertmacro INSTALLED_FILES DELETE_NEW
  ${EndIf}
  !insertmacro INSTALLED_FILES PUT_BACK
  ${If} $MadeFolder = 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOverwrite try
  StrCpy $MadeFolder 0
  StrCpy $Writing 0
  StrCpy $MovedZapnix 0
  StrCpy $MovedServer 0
  StrCpy $MovedHelp 0
  StrCpy $MovedLists 0
  StrCpy $MovedUninstaller 0

  Call CloseZapnix
  ${If} ${Errors}
    !insertmacro FAIL "" "${PRODUCT} is still running, so it cannot be replaced. End it and run the setup again. Nothing was changed."
  ${EndIf}

  ; The folder must exist and take a new file.
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    ClearErrors
    CreateDirectory "$INSTDIR"
    ${If} ${Errors}
      !insertmacro FAIL "" "The folder $INSTDIR cannot be created. Choose a folder of your own. Nothing was changed."
    ${EndIf}
    StrCpy $MadeFolder 1
  ${EndIf}
  ClearErrors
  FileOpen $0 "$INSTDIR\zxsetup.tmp" w
  ${If} ${Errors}
    Call RollBack
    !insertmacro FAIL "" "The folder $INSTDIR cannot be written to. Choose a folder of your own. Nothing was changed."
  ${EndIf}
  FileClose $0
  Delete "$INSTDIR\zxsetup.tmp"

  !insertmacro INSTALLED_FILES SET_ASIDE

  StrCpy $Writing 1
  SetOutPath "$INSTDIR"
  !insertmacro PUT_FILE "Zapnix.exe"
  !insertmacro PUT_FILE "ZapnixServer.dll"
  !insertmacro PUT_FILE "Zapnix.chm"
  !insertmacro PUT_FILE "ZapnixLists.exe"
  ClearErrors
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ${If} ${Errors}
    Call RollBack
    !insertmacro FAIL "" "$INSTDIR\Uninstall.exe could not be written. Nothing was changed."
  ${EndIf}

  ; The new copy is complete. An old file still held open somewhere stays
  ; until the next setup or the uninstaller.
  !insertmacro INSTALLED_FILES DELETE_SET_ASIDE

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Zapnix.exe" "" "$INSTDIR\Zapnix.exe" 0 \
                 SW_SHOWNORMAL "" "${PRODUCT} pop-up blocker"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Zapnix.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; A choice only: the hidden section after it applies it, once the program's
; section has succeeded (a failed setup runs no further section).
Section "Start ${PRODUCT} when I sign in" SecStartAtSignIn
SectionEnd

Section "-Start at sign-in"
  ${If} ${SectionIsSelected} ${SecStartAtSignIn}
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Zapnix.exe"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

Function .onInit
  ; A folder given with /D= that cannot be used (a file on its way, say)
  ; is put aside for the default without a word: refuse instead, rather than
  ; install where nobody asked. NSIS cuts /D= out of its own copy of the
  ; command line; the ANSI copy still holds it. A folder name that the ANSI
  ; copy cannot hold (it shows "?") is not compared.
  System::Call 'kernel32::GetCommandLineA() m .r0'
  ${StrStr} $1 $0 " /D="
  ${If} $1 != ""
    StrCpy $1 $1 "" 4
    ${Do}
      StrCpy $2 $1 1 -1
      ${If} $2 != "\"
      ${AndIf} $2 != " "
        ${ExitDo}
      ${EndIf}
      StrCpy $1 $1 -1
    ${Loop}
    ${StrStr} $2 $1 "?"
    ${If} $2 == ""
    ${AndIf} $1 != $INSTDIR
      StrCpy $FailText "The folder $1 cannot be used: a file is in the way, or it is no full path of a folder. Nothing was changed."
      Call ReportFailure
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}

  ; Start at sign-in: as the copy being replaced had it, on for a first
  ; installation; /AUTOSTART=yes|no decides.
  StrCpy $1 "yes"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $2 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $2 == ""
      StrCpy $1 "no"
    ${EndIf}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $2
  ${IfNot} ${Errors}
    ${If} $2 == "yes"
    ${OrIf} $2 == "no"
      StrCpy $1 $2
    ${Else}
      StrCpy $FailText "/AUTOSTART takes yes or no, not $\"$2$\"."
      Call ReportFailure
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  ${If} $1 == "yes"
    !insertmacro SelectSection ${SecStartAtSignIn}
  ${Else}
    !insertmacro UnselectSection ${SecStartAtSignIn}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------
; The uninstaller. It removes what the installer put there, and the engine's
; registration when it names this copy's engine; the user's lists only when
; asked to.

!macro REMOVE_FILE name
  Delete "$INSTDIR\${name}"
  Delete "$INSTDIR\${name}.zxold"
  ${If} ${FileExists} "$INSTDIR\${name}"
    StrCpy $1 "$1$\r$\n$INSTDIR\${name}"
  ${EndIf}
!macroend

Section "un.${PRODUCT}" UnSecProgram
  SectionIn RO
  Call un.CloseZapnix
  ${If} ${Errors}
    !insertmacro FAIL "un." "${PRODUCT} is still running, so it cannot be removed. End it and run the uninstaller again. Nothing was changed."
  ${EndIf}

  ReadRegStr $0 HKCU "${ENGINE_SERVER_KEY}" ""
  ${If} $0 == "$INSTDIR\ZapnixServer.dll"
    UnRegDLL "$INSTDIR\ZapnixServer.dll"
  ${EndIf}

  StrCpy $1 ""  ; files that stay
  !insertmacro REMOVE_FILE "Zapnix.exe"
  !insertmacro REMOVE_FILE "ZapnixServer.dll"
  !insertmacro REMOVE_FILE "Zapnix.chm"
  !insertmacro REMOVE_FILE "ZapnixLists.exe"
  !insertmacro REMOVE_FILE "Uninstall.exe"
  ; Only an empty folder goes: files the user put there are theirs.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == '"$INSTDIR\Zapnix.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}

  ${If} $1 != ""
    StrCpy $FailText "These files are in use by another program and were not removed:$1"
    Call un.ReportFailure
    SetErrorLevel 2
  ${EndIf}
SectionEnd

Section /o "un.Also remove my lists" UnSecLists
  DeleteRegKey HKCU "${LISTS_KEY}"
  DeleteRegKey /ifempty HKCU "${LISTS_PARENT_KEY}"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVELISTS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecLists}
  ${EndIf}
FunctionEnd
