; The Windows installer: per user without administrator rights by default; for all users of the
; machine by choice on its page, or with /AllUsers on the command line. /S installs silently.
; It speaks the user's display language where it is one of the programs' five (as the programs
; choose theirs), else English; it does not ask.
;   makensis -DVERSION=1.0 -DVERSION4=1.0.0.0 -DBIN_DIR=... -DICON=....ico -DLICENSE_FILE=LICENSE
;            -DOUT_FILE=quarrow2excel-1.0-setup.exe quarrow2excel.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
ManifestSupportedOS all

!define PRODUCT "Quarrow2Excel"
!define PUBLISHER "VORNEX"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarrow2Excel"

; Where an earlier installation went tells both the folder and, for the uninstaller, the mode.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINST_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINST_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
BrandingText "${PRODUCT} ${VERSION}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) ${PUBLISHER}"

!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\quarrow2excel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the fallback; NSIS picks the one of the user's display language by itself.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "Russian"

; The installer's own texts.
LangString Description ${LANG_ENGLISH} "Reads the archive of a Quarrow tester and exports it"
LangString Description ${LANG_GERMAN} "Liest das Archiv eines Quarrow-Prüfgeräts und exportiert es"
LangString Description ${LANG_SPANISH} "Lee el archivo de un esclerómetro Quarrow y lo exporta"
LangString Description ${LANG_POLISH} "Odczytuje archiwum sklerometru Quarrow i je eksportuje"
LangString Description ${LANG_RUSSIAN} "Читает архив прибора Quarrow и экспортирует его"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}\quarrow2excel.exe"
  File "${BIN_DIR}\quarrow2excel-cli.exe"
  File "/oname=LICENSE.txt" "${LICENSE_FILE}"
  ; The PDF protocol's font, with its licence.
  File "${BIN_DIR}\DejaVuSans.ttf"
  File "${BIN_DIR}\DejaVuSans-LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\quarrow2excel.exe" "" \
    "$INSTDIR\quarrow2excel.exe" 0 SW_SHOWNORMAL "" "$(Description)"

  ; SHCTX is HKCU for this user, HKLM for all users (MultiUser set the context).
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Comments" "$(Description)"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\quarrow2excel.exe,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer put in place goes: the settings under HKCU\Software\VORNEX, the
; earlier readings in %LOCALAPPDATA%\VORNEX\Quarrow2Excel and the reports and workbooks the
; user saved stay.
Section "Uninstall"
  Delete "$INSTDIR\quarrow2excel.exe"
  Delete "$INSTDIR\quarrow2excel-cli.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\DejaVuSans.ttf"
  Delete "$INSTDIR\DejaVuSans-LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd
