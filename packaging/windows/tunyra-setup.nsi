; tunyra-setup-VERSION.exe: puts gen_tunyra.dll into the player's Plugins folder, with an
; uninstaller beside it and an entry in the list of installed programs.
;
; The Windows build runs makensis with these defines:
;   DLL          the gen_tunyra.dll to install
;   LICENSE_TXT  the licence and notices (CRLF line ends), shown on the licence page
;   VERSION      the project's version; it must be the DLL's version block
;   OUTFILE      the installer to write

Unicode true
SetCompressor /SOLID lzma
; Files keep the time they are installed at: no build time goes into the installer.
SetDateSave off
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh

!getdllversion "${DLL}" DLL_VERSION_
!if "${DLL_VERSION_1}.${DLL_VERSION_2}.${DLL_VERSION_3}.${DLL_VERSION_4}" != "${VERSION}"
  !error "gen_tunyra.dll's version block says ${DLL_VERSION_1}.${DLL_VERSION_2}.${DLL_VERSION_3}.${DLL_VERSION_4}, the build says ${VERSION}"
!endif

!define PLAYER_EXE "winamp.exe"
!define UNINSTALLER "tunyra-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunyra"
!define PUBLISHER "the Tunyra developers"

Name "Tunyra ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Winamp"
BrandingText "Tunyra ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Tunyra"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Tunyra ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${LICENSE_TXT}"

!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the player's folder: the one that holds ${PLAYER_EXE}. Tunyra's plug-in, gen_tunyra.dll, goes into its Plugins folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Player folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE RefusePlayerlessFolder
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES

!define MUI_FINISHPAGE_TITLE "Tunyra is installed"
!define MUI_FINISHPAGE_TEXT "Start the player (restart it if it was running). Then give Tunyra a key in the player's hotkey preferences, where it is listed as $\"General: Tunyra Select Songs$\": that key opens the Select Songs dialog.$\r$\n$\r$\nThe plug-in's configuration command in the player's plug-in preferences shows the About picture."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function RefusePlayerlessFolder
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$INSTDIR holds no ${PLAYER_EXE}.$\r$\n$\r$\nChoose the folder the player is installed in."
    Abort
  ${EndIf}
FunctionEnd

Section "Tunyra" SectionTunyra
  ; Checked here too: a silent install (/S /D=FOLDER) shows no page.
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    DetailPrint "$INSTDIR holds no ${PLAYER_EXE}: nothing installed"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds no ${PLAYER_EXE}: nothing was installed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR\Plugins"
  StrCpy $0 "$INSTDIR\Plugins\gen_tunyra.dll"
  ${If} ${FileExists} $0
    StrCpy $1 "upgrade"
  ${Else}
    StrCpy $1 "new"
  ${EndIf}

  ; The new DLL goes in under another name first and takes the real name only when it
  ; is whole, so a failure never leaves a partial gen_tunyra.dll behind.
  SetOverwrite on
  write_dll:
  ClearErrors
  File "/oname=gen_tunyra.dll.new" "${DLL}"
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "gen_tunyra.dll cannot be written to $INSTDIR\Plugins." /SD IDCANCEL IDRETRY write_dll
    Delete "$0.new"
    Goto failed
  ${EndIf}

  ClearErrors
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "${UNINSTALLER} cannot be written to $INSTDIR\Plugins: nothing was installed." /SD IDOK
    Delete "$0.new"
    Goto failed
  ${EndIf}

  ; A running player has the DLL loaded, and a loaded DLL cannot be deleted: ask to
  ; close the player first. (Testing the error flag clears it, so each step's flag is
  ; tested right after the step.)
  replace_dll:
  ClearErrors
  ${If} ${FileExists} $0
    Delete $0
  ${EndIf}
  IfErrors replace_failed
  Rename "$0.new" $0
  IfErrors replace_failed replaced
  replace_failed:
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0 cannot be replaced: the player is running and has it loaded.$\r$\n$\r$\nClose the player, then press Retry." /SD IDCANCEL IDRETRY replace_dll
  Delete "$0.new"
  ${If} $1 == "new"
    Delete "$INSTDIR\Plugins\${UNINSTALLER}"
  ${EndIf}
  Goto failed
  replaced:
  DetailPrint "Installed $0"

  SectionGetSize ${SectionTunyra} $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tunyra"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  Return

  failed:
  DetailPrint "Nothing installed"
  SetErrorLevel 2
  Abort
SectionEnd

; The uninstaller runs from the Plugins folder it was written to ($INSTDIR) and removes
; what the installer put there, nothing else: other plug-ins and the player stay.
Section "Uninstall"
  StrCpy $0 "$INSTDIR\gen_tunyra.dll"
  remove_dll:
  ClearErrors
  ${If} ${FileExists} $0
    Delete $0
  ${EndIf}
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0 cannot be removed: the player is running and has it loaded.$\r$\n$\r$\nClose the player, then press Retry." /SD IDCANCEL IDRETRY remove_dll
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Another player's installation may own the entry now.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
