; The Windows installer, Veldane-<version>-setup.exe, made with NSIS on Linux
; by packaging/make-dist.sh:
;   makensis -DVERSION=0.9.0 -DSTAGE=<the Windows archive's folder> -DFILES=<files.nsh> -DOUTFILE=<exe> veldane.nsi
; It installs from the folder of the portable Windows archive (STAGE, laid out
; by format) and FILES, which lists the files of its preset and Manual folders. Where
; each part goes on Windows is written here and nowhere else:
;   VST 3 (64-bit)     %CommonProgramFiles%\VST3\Veldane.vst3   (where every VST 3 host looks)
;   CLAP (64-bit)      %CommonProgramFiles%\CLAP\Veldane.clap   (where every CLAP host looks)
;   VST 2.4, 64-bit    a folder the user picks; by default the one 64-bit hosts registered
;                      (HKLM\SOFTWARE\VST, VSTPluginsPath), else C:\Program Files\Steinberg\VSTPlugins
;   VST 2.4, 32-bit    the same for 32-bit hosts (the registry's 32-bit view, Program Files (x86))
;   patches, manual, licence and the uninstaller
;                      $INSTDIR, by default C:\Program Files\Orvandel\Veldane
;   patches for VST 3  %ProgramData%\VST3 Presets\Orvandel\Veldane (where VST 3 hosts
;                      look for a maker's presets, for every user)
;
; Silent, for scripted installs: Veldane-<version>-setup.exe /S [/VST2DIR64=DIR]
; [/VST2DIR32=DIR] [/D=INSTDIR] (/D= last, unquoted). The uninstaller removes
; exactly the files it installed, and a folder only if the installer made it
; and it is empty again. Installing over an earlier version runs that
; version's uninstaller first, keeping the folders it used.

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include Sections.nsh

!ifndef VERSION | STAGE | FILES | OUTFILE
  !error "makensis -DVERSION=X.Y.Z -DSTAGE=FOLDER -DFILES=files.nsh -DOUTFILE=FILE veldane.nsi"
!endif
!include "${FILES}"

!define PRODUCT "Veldane"
!define PUBLISHER "Orvandel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veldane"
!define UNINSTALLER "Uninstall Veldane.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PUBLISHER}\${PRODUCT}"
; An earlier install's folder, unless /D= names another.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 the Veldane project (MIT licence)"

Var Vst2Dir64
Var Vst2Dir32

; --- pages -----------------------------------------------------------------------
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "The factory patches, the manual and the uninstaller go into this folder."
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "VST 2.4 folder for 64-bit hosts"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 64-bit hosts look for VST 2.4 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The 64-bit Veldane.dll goes into this folder. Choose the VST folder your 64-bit hosts search."
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir64
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessVst2x64
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "VST 2.4 folder for 32-bit hosts"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 32-bit hosts look for VST 2.4 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The 32-bit Veldane.dll goes into this folder. Choose the VST folder your 32-bit hosts search."
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir32
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessVst2x86
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- helpers ---------------------------------------------------------------------
; A folder about to receive files: made if missing, with any missing parents,
; and then remembered under VALUE (and the highest folder made under
; VALUE_TOP) in the uninstall key, so the uninstaller removes them again when
; empty, and never a folder that was there before.
!macro MakeFolder DIR VALUE
  Push "${DIR}"
  Call HighestMissingFolder
  Pop $R9
  ${If} $R9 != ""
    CreateDirectory "${DIR}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}" "${DIR}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}_TOP" "$R9"
  ${EndIf}
!macroend
; Removes the folder recorded under VALUE and the parents made with it, each
; only if empty.
!macro RemoveMadeFolder VALUE
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "${VALUE}"
  ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "${VALUE}_TOP"
  ${If} $R0 != ""
    Call ${UN}RemoveEmptyUpTo
  ${EndIf}
!macroend
; RemoveEmptyUpTo: removes folder $R0 if empty, then its parents up to $R1,
; stopping at the first that is not empty. For the installer (an earlier
; version's folders) and the uninstaller.
!macro RemoveEmptyUpToFunction UN
  Function ${UN}RemoveEmptyUpTo
    ${Do}
      RMDir "$R0"
      ${If} $R0 == $R1
      ${OrIf} ${FileExists} "$R0\*.*"
        ${Break}
      ${EndIf}
      ${GetParent} "$R0" $R0
    ${LoopUntil} $R0 == ""
  FunctionEnd
!macroend
!insertmacro RemoveEmptyUpToFunction ""
!insertmacro RemoveEmptyUpToFunction "un."
; HighestMissingFolder: answers (on the stack) the highest folder of the path
; on the stack that does not exist yet, or "" when the path exists.
Function HighestMissingFolder
  Exch $0
  Push $1
  Push $2
  StrCpy $1 ""
  ${DoWhile} $0 != ""
    ${If} ${FileExists} "$0\*.*"
      ${Break}
    ${EndIf}
    StrCpy $1 $0
    ${GetParent} "$0" $2
    ${If} $2 == $0
      ${Break}
    ${EndIf}
    StrCpy $0 $2
  ${Loop}
  StrCpy $0 $1
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
; One file of a folder under $INSTDIR (files.nsh lists them).
!macro InstallListedFile FOLDER FILE
  SetOutPath "$INSTDIR\${FOLDER}"
  File "${STAGE}\${FOLDER}\${FILE}"
!macroend
!macro RemoveListedFile FOLDER FILE
  Delete "$INSTDIR\${FOLDER}\${FILE}"
!macroend
; One .vstpreset file (files.nsh lists them), into the VST 3 preset folder.
!define VST3_PRESETS "VST3 Presets\${PUBLISHER}\${PRODUCT}"
!macro InstallVst3Preset FOLDER FILE
  SetOutPath "$APPDATA\${VST3_PRESETS}"
  File "${STAGE}\${FOLDER}\${FILE}"
!macroend
!macro RemoveVst3Preset FOLDER FILE
  Delete "$APPDATA\${VST3_PRESETS}\${FILE}"
!macroend

; --- sections --------------------------------------------------------------------
Section "-Setup"
  SetRegView 64
  ; An earlier install goes first, through its own uninstaller (run in place
  ; and waited for), so nothing of it stays behind; its folders were read in
  ; .onInit and are this install's defaults.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "MadeInstallFolder_TOP"
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\${UNINSTALLER}"
    DetailPrint "Removing the installed version first"
    ExecWait '"$R0\${UNINSTALLER}" /S _?=$R0'
    ; Run in place, it cannot delete itself, nor its folder (if that
    ; version's installer made it).
    Delete "$R0\${UNINSTALLER}"
    ${If} $R1 != ""
      Call RemoveEmptyUpTo
    ${EndIf}
  ${EndIf}
  !insertmacro MakeFolder "$INSTDIR" "MadeInstallFolder"
  SetOutPath "$INSTDIR"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\NOTICE.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://orvandel.com/plugins/veldane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "VST 3 plug-in (64-bit)" SecVst3
  !insertmacro MakeFolder "$COMMONFILES64\VST3" "MadeVst3Folder"
  SetOutPath "$COMMONFILES64\VST3"
  File /r "${STAGE}\VST3\Veldane.vst3"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst3Bundle" "$COMMONFILES64\VST3\Veldane.vst3"
SectionEnd

Section "CLAP plug-in (64-bit)" SecClap
  !insertmacro MakeFolder "$COMMONFILES64\CLAP" "MadeClapFolder"
  SetOutPath "$COMMONFILES64\CLAP"
  File "${STAGE}\CLAP\Veldane.clap"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "ClapFile" "$COMMONFILES64\CLAP\Veldane.clap"
SectionEnd

Section "VST 2.4 plug-in (64-bit)" SecVst2x64
  !insertmacro MakeFolder "$Vst2Dir64" "MadeVst2Folder64"
  SetOutPath "$Vst2Dir64"
  File "${STAGE}\VST2 64-bit\Veldane.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst2Folder64" "$Vst2Dir64"
SectionEnd

Section "VST 2.4 plug-in (32-bit)" SecVst2x86
  !insertmacro MakeFolder "$Vst2Dir32" "MadeVst2Folder32"
  SetOutPath "$Vst2Dir32"
  File "${STAGE}\VST2 32-bit\Veldane.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst2Folder32" "$Vst2Dir32"
SectionEnd

Section "Factory patches (.fxp)" SecPresets
  !insertmacro PresetFiles InstallListedFile
SectionEnd

Section "Factory patches for VST 3 hosts (.vstpreset)" SecVst3Presets
  ; $APPDATA is then the folder of every user's application data (ProgramData).
  SetShellVarContext all
  !insertmacro MakeFolder "$APPDATA\${VST3_PRESETS}" "MadeVst3PresetFolder"
  !insertmacro Vst3PresetFiles InstallVst3Preset
  SetShellVarContext current
SectionEnd

Section "User's manual" SecManual
  !insertmacro ManualFiles InstallListedFile
SectionEnd

Section "-Size"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst3} "Veldane.vst3 for 64-bit VST 3 hosts (Cubase, Live, Bitwig Studio, REAPER, FL Studio, ...)."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecClap} "Veldane.clap for CLAP hosts (Bitwig Studio, REAPER, ...)."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst2x64} "Veldane.dll for 64-bit VST 2.4 hosts."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst2x86} "Veldane.dll for 32-bit VST 2.4 hosts."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPresets} "The 38 factory patches as VST 2.4 program files."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst3Presets} "The 38 factory patches as VST 3 preset files, for the preset browsers of VST 3 hosts."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecManual} "The user's manual."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; --- start-up -----------------------------------------------------------------------
Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Veldane's installer needs 64-bit Windows. For 32-bit Windows, take Veldane.dll from the archive Veldane-${VERSION}-windows.zip." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; The VST 2.4 folders of an earlier install, else the hosts' registered VST
  ; folders, else the usual ones; the command line wins.
  ReadRegStr $Vst2Dir64 HKLM "${UNINSTALL_KEY}" "Vst2Folder64"
  ${If} $Vst2Dir64 == ""
    ReadRegStr $Vst2Dir64 HKLM "SOFTWARE\VST" "VSTPluginsPath"
  ${EndIf}
  ${If} $Vst2Dir64 == ""
    StrCpy $Vst2Dir64 "$PROGRAMFILES64\Steinberg\VSTPlugins"
  ${EndIf}
  ReadRegStr $Vst2Dir32 HKLM "${UNINSTALL_KEY}" "Vst2Folder32"
  ${If} $Vst2Dir32 == ""
    SetRegView 32
    ReadRegStr $Vst2Dir32 HKLM "SOFTWARE\VST" "VSTPluginsPath"
    SetRegView 64
  ${EndIf}
  ${If} $Vst2Dir32 == ""
    StrCpy $Vst2Dir32 "$PROGRAMFILES32\Steinberg\VSTPlugins"
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/VST2DIR64=" $R1
  ${IfNot} ${Errors}
    StrCpy $Vst2Dir64 $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/VST2DIR32=" $R1
  ${IfNot} ${Errors}
    StrCpy $Vst2Dir32 $R1
  ${EndIf}
FunctionEnd

Function SkipUnlessVst2x64
  ${IfNot} ${SectionIsSelected} ${SecVst2x64}
    Abort
  ${EndIf}
FunctionEnd

Function SkipUnlessVst2x86
  ${IfNot} ${SectionIsSelected} ${SecVst2x86}
    Abort
  ${EndIf}
FunctionEnd

; --- uninstaller -------------------------------------------------------------------
Function un.onInit
  SetRegView 64
FunctionEnd

!define UN "un."
Section "Uninstall"
  ; What each part's section recorded; a part that was not installed has no value.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst3Bundle"
  ${If} $0 != ""
    RMDir /r "$0"
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "ClapFile"
  ${If} $0 != ""
    Delete "$0"
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst2Folder64"
  ${If} $0 != ""
    Delete "$0\Veldane.dll"
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst2Folder32"
  ${If} $0 != ""
    Delete "$0\Veldane.dll"
  ${EndIf}
  !insertmacro PresetFiles RemoveListedFile
  SetShellVarContext all
  !insertmacro Vst3PresetFiles RemoveVst3Preset
  SetShellVarContext current
  !insertmacro ManualFiles RemoveListedFile
  !insertmacro ManualFolders RMDir
  RMDir "$INSTDIR\Presets"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICE.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; In the reverse order of their making: a later folder may lie in one
  ; made before it.
  !insertmacro RemoveMadeFolder "MadeVst2Folder32"
  !insertmacro RemoveMadeFolder "MadeVst2Folder64"
  !insertmacro RemoveMadeFolder "MadeClapFolder"
  !insertmacro RemoveMadeFolder "MadeVst3Folder"
  !insertmacro RemoveMadeFolder "MadeVst3PresetFolder"
  !insertmacro RemoveMadeFolder "MadeInstallFolder"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
