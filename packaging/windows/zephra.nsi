; The per-user installer of the Windows programs, made by scripts/windows with makensis:
;   makensis -DVERSION=x.y.z -DPROGRAMS=<dir with the .exe files> -DICON=<zephra.ico>
;            -DREADME=<README.txt> -DOUTFILE=<setup.exe> [-DWINDOW] zephra.nsi
; WINDOW is defined when zephra.exe is among the programs. No administrator rights: the
; programs go to the user's own program folder, the Start menu entry and the uninstaller's
; entry in "Apps" are the user's.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zephra"
!define MENU "$SMPROGRAMS\ZEPHRA-24"

Name "ZEPHRA-24 utility ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\Zephra"
InstallDirRegKey HKCU "${KEY}" "InstallLocation"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}/zephra-cli.exe"
  File "/oname=README.txt" "${README}"
  File "/oname=zephra.ico" "${ICON}"
!ifdef WINDOW
  File "${PROGRAMS}/zephra.exe"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU}"
!ifdef WINDOW
  CreateShortcut "${MENU}\ZEPHRA-24 utility.lnk" "$INSTDIR\zephra.exe"
!endif
  ; A command prompt in the program folder, for zephra-cli.
  CreateShortcut "${MENU}\ZEPHRA-24 command line.lnk" "$SYSDIR\cmd.exe" \
    '/k cd /d "$INSTDIR" && zephra-cli --help' "$INSTDIR\zephra.ico"
  CreateShortcut "${MENU}\Uninstall ZEPHRA-24 utility.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${KEY}" "DisplayName" "ZEPHRA-24 utility"
  WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${KEY}" "DisplayIcon" "$INSTDIR\zephra.ico"
  WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKCU "${KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\zephra.exe"
  Delete "$INSTDIR\zephra-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\zephra.ico"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${MENU}\ZEPHRA-24 utility.lnk"
  Delete "${MENU}\ZEPHRA-24 command line.lnk"
  Delete "${MENU}\Uninstall ZEPHRA-24 utility.lnk"
  RMDir "${MENU}"
  DeleteRegKey HKCU "${KEY}"
SectionEnd
