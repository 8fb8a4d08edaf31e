; The per-user installer of the Windows programs, made by makensis from the
; Windows build (cmake/WindowsInstaller.cmake gives the defines):
;   FL_VERSION   the project's version, as the programs print it
;   FL_VERSION4  the same in four numbers, for the installer's VERSIONINFO
;   FL_COPYRIGHT the copyright line of LICENSE
;   FL_STAGE     the folder with the stripped programs and the texts (CR LF)
;   FL_ICON      the programs' icon
;   FL_BITMAP    the picture of the first and last pages
;   FL_OUTFILE   the installer to write
;
; No administrator rights are asked for: everything goes into the user's own
; profile and registry hive, so that anyone may install it, and /S installs
; and uninstalls without a question, for the PCs of a factory bench.

Unicode true
; The programs are 64-bit, and so is the installer: it runs where they run.
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "Modem Flash Loader"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ModemFlashLoader"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; The folder the wizard starts in: tarnix.ini, lastsel.dat and the images
; the user puts there. Not the program folder, which an update replaces,
; and not Documents, which may be redirected to a network share or a cloud
; folder, or guarded against unknown programs writing into it; the local
; application data belong to this user on this PC, which is what a COM port
; selection is about, and are always writable by the user.
!define START_DIR "$LOCALAPPDATA\${PRODUCT}"

Name "${PRODUCT}"
Caption "${PRODUCT} ${FL_VERSION} Setup"
BrandingText "${PRODUCT} ${FL_VERSION}"
OutFile "${FL_OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A reinstallation offers the folder of the one before.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${FL_VERSION4}"
VIFileVersion "${FL_VERSION4}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${FL_VERSION}"
VIAddVersionKey "FileVersion" "${FL_VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "LegalCopyright" "${FL_COPYRIGHT}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${FL_ICON}"
!define MUI_UNICON "${FL_ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${FL_BITMAP}"
!define MUI_WELCOMEFINISHPAGE_BITMAP_STRETCH AspectFitHeight
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${FL_BITMAP}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP_STRETCH AspectFitHeight
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartWizard
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README-windows.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Install"
  SetOutPath "$INSTDIR"
  File "${FL_STAGE}\flashloader.exe"
  File "${FL_STAGE}\flashloader-cli.exe"
  File "${FL_STAGE}\README-windows.txt"
  File "${FL_STAGE}\LICENSE"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The sample settings file only where there is none yet: a file the user
  ; edited stays as it is on a reinstallation or an update.
  CreateDirectory "${START_DIR}"
  SetOutPath "${START_DIR}"
  SetOverwrite off
  File "${FL_STAGE}\tarnix.ini"
  SetOverwrite on

  ; The shortcut's "Start in" is the output folder at this point: the start
  ; folder, where the wizard finds tarnix.ini and keeps lastsel.dat.
  CreateShortCut "${SHORTCUT}" "$INSTDIR\flashloader.exe" "" "$INSTDIR\flashloader.exe" 0 SW_SHOWNORMAL "" \
                 "Rewrites the flash memory of a modem on a COM port"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${FL_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\flashloader.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The finish page's "Start": in the start folder, as the shortcut starts it.
Function StartWizard
  SetOutPath "${START_DIR}"
  Exec '"$INSTDIR\flashloader.exe"'
FunctionEnd

; Only what the installer and the programs put there goes, each by name: the
; start folder may hold the user's own images, and the program folder may
; have been chosen as one that holds other files. A folder goes only when
; it is empty then.
Section "Uninstall"
  Delete "$INSTDIR\flashloader.exe"
  Delete "$INSTDIR\flashloader-cli.exe"
  Delete "$INSTDIR\README-windows.txt"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"

  Delete "${START_DIR}\tarnix.ini"
  Delete "${START_DIR}\~tarnix.ini"
  Delete "${START_DIR}\lastsel.dat"
  RMDir "${START_DIR}"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
