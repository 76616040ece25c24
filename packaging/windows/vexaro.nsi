; The Windows installer of Vexaro. ./run windows-package makes it with NSIS:
;   makensis -DVERSION=<version> -DSTAGE=<folder of the files> -DFILES=<install.nsh>
;            -DUNFILES=<uninstall.nsh> -DOUTFILE=<setup.exe> vexaro.nsi
; FILES and UNFILES hold one File and one Delete line for every file of STAGE, so that the
; uninstaller removes exactly what was installed (and never a folder the user filled).
;
; It installs into Program Files with a Start-menu entry and an uninstaller; opening .sis and
; .mbm files with Vexaro is an option, off unless chosen (or given as /ASSOCIATE on the
; command line, which silent installs with /S can use). The window finds the file
; "vexaro-installed" beside it and works in the user's data folder, never in Program Files.

; A 64-bit installer, like the programs it carries: it runs where they run, and under a wine
; without its 32-bit half.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexaro"
!define PROGID "Vexaro.Theme"

Name "Vexaro ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vexaro"
InstallDirRegKey HKLM "Software\Vexaro" "InstallDir"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Vexaro"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Vexaro ${VERSION} installer"
VIAddVersionKey "LegalCopyright" "The Vexaro developers, MIT licence"

!define MUI_ICON "../../resources/vexaro.ico"
!define MUI_UNICON "../../resources/vexaro.ico"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vexaro.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vexaro" SecProgram
  SectionIn RO
  SetShellVarContext all
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vexaro.lnk" "$INSTDIR\vexaro.exe"
  WriteRegStr HKLM "Software\Vexaro" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vexaro"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vexaro developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vexaro.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Makes Vexaro open files with extension EXT; the program that opened them before is kept
; under "Vexaro.Previous" and given them back on uninstall.
!macro Associate EXT
  ReadRegStr $0 HKLM "Software\Classes\${EXT}" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    WriteRegStr HKLM "Software\Classes\${EXT}" "Vexaro.Previous" $0
  ${EndIf}
  WriteRegStr HKLM "Software\Classes\${EXT}" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
!macroend

; Deletes the key KEY of HKLM when it holds no subkey and no value, the default one included.
; (DeleteRegKey /ifempty looks at subkeys only.)
!macro DeleteKeyIfEmpty KEY
  EnumRegKey $2 HKLM "${KEY}" 0
  EnumRegValue $3 HKLM "${KEY}" 0
  ClearErrors
  ReadRegStr $4 HKLM "${KEY}" ""
  ${If} $2 == ""
  ${AndIf} $3 == ""
  ${AndIf} ${Errors}
    DeleteRegKey HKLM "${KEY}"
  ${EndIf}
!macroend

; Gives files with extension EXT back to the program that had them before, if Vexaro still has
; them, and takes away what Associate added; keys left empty go too.
!macro Dissociate EXT
  ReadRegStr $0 HKLM "Software\Classes\${EXT}" ""
  ReadRegStr $1 HKLM "Software\Classes\${EXT}" "Vexaro.Previous"
  ${If} $0 == "${PROGID}"
    ${If} $1 == ""
      DeleteRegValue HKLM "Software\Classes\${EXT}" ""
    ${Else}
      WriteRegStr HKLM "Software\Classes\${EXT}" "" $1
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "Software\Classes\${EXT}" "Vexaro.Previous"
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  !insertmacro DeleteKeyIfEmpty "Software\Classes\${EXT}\OpenWithProgids"
  !insertmacro DeleteKeyIfEmpty "Software\Classes\${EXT}"
!macroend

Section /o "Open .sis and .mbm files with Vexaro" SecAssociate
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Phone theme"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\vexaro.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\vexaro.exe" "%1"'
  !insertmacro Associate ".sis"
  !insertmacro Associate ".mbm"
  WriteRegDWORD HKLM "Software\Vexaro" "Associated" 1
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Vexaro needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ASSOCIATE" $1
  ${IfNot} ${Errors}
    SectionGetFlags ${SecAssociate} $1
    IntOp $1 $1 | ${SF_SELECTED}
    SectionSetFlags ${SecAssociate} $1
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ReadRegDWORD $0 HKLM "Software\Vexaro" "Associated"
  ${If} $0 == 1
    !insertmacro Dissociate ".sis"
    !insertmacro Dissociate ".mbm"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  ${EndIf}
  Delete "$SMPROGRAMS\Vexaro.lnk"
  !include "${UNFILES}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Vexaro"
SectionEnd
