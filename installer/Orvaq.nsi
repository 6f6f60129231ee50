; Orvaq's setup program: the programs, the texts and error lists, the reference filter
; library (unless another library is already there), a Start-menu shortcut, the firewall
; rules, and an uninstaller that takes away only what this installation put in place.
; Built by tools/package.sh:
;   makensis -INPUTCHARSET UTF8 /DVERSION=1.0.0 /DBIN_DIR=... /DICON=... /DOUTFILE=... Orvaq.nsi

Unicode true
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma

!macro Required NAME
  !ifndef ${NAME}
    !error "${NAME} is given by tools/package.sh"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required BIN_DIR
!insertmacro Required ICON
!insertmacro Required OUTFILE

!define PRODUCT "Orvaq"
!define COMPANY "HALVEX S.A."
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvaq"
!define PRODUCT_KEY "Software\Orvaq"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include FirewallRules.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The 32-bit program folder on 64-bit Windows too; an upgrade goes where the last
; installation went.
InstallDir "$PROGRAMFILES32\${PRODUCT}"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "InstallDir"
BrandingText "${PRODUCT} ${VERSION}"

; The setup file's own version resource. Its four numbers take the version's first
; three; a version with fewer parts is padded.
!searchparse /noerrors "${VERSION}.0.0.0" "" V1 "." V2 "." V3 "."
VIProductVersion "${V1}.${V2}.${V3}.0"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${COMPANY}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "French"

LangString LibraryKept ${LANG_ENGLISH} "A filter library that is not Orvaq's own is already installed in $INSTDIR. It has been kept: the setup did not replace RXFilter.DLL."
LangString LibraryKept ${LANG_FRENCH} "Une bibliothèque de filtres qui n'est pas celle d'Orvaq est déjà installée dans $INSTDIR. Elle a été conservée : l'installation n'a pas remplacé RXFilter.DLL."
LangString LibraryKeptDetail ${LANG_ENGLISH} "RXFilter.DLL kept: the library in place is not Orvaq's own"
LangString LibraryKeptDetail ${LANG_FRENCH} "RXFilter.DLL conservée : la bibliothèque en place n'est pas celle d'Orvaq"
LangString FirewallUnavailable ${LANG_ENGLISH} "Windows Firewall cannot be reached; Orvaq will check its rules when it starts"
LangString FirewallUnavailable ${LANG_FRENCH} "Pare-feu Windows inaccessible ; Orvaq vérifiera ses règles à son démarrage"
LangString FirewallRuleAdded ${LANG_ENGLISH} "Firewall rule added"
LangString FirewallRuleAdded ${LANG_FRENCH} "Règle de pare-feu ajoutée"
LangString FirewallRuleKept ${LANG_ENGLISH} "Firewall rule already present"
LangString FirewallRuleKept ${LANG_FRENCH} "Règle de pare-feu déjà présente"
LangString FirewallRuleFailed ${LANG_ENGLISH} "Firewall rule not added; Orvaq will add it when it starts"
LangString FirewallRuleFailed ${LANG_FRENCH} "Règle de pare-feu non ajoutée ; Orvaq l'ajoutera à son démarrage"
LangString FirewallRuleRemoved ${LANG_ENGLISH} "Firewall rule removed"
LangString FirewallRuleRemoved ${LANG_FRENCH} "Règle de pare-feu supprimée"

; IsOurLibrary PATH: $0 is 1 when PATH carries the version strings our build writes
; (company and product), 0 for any other file or one without version information.
!macro IsOurLibraryFunction PREFIX
Function ${PREFIX}IsOurLibrary
  Exch $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $0 0
  System::Call 'version::GetFileVersionInfoSizeW(w r1, *i .r2) i.r2'
  ${If} $2 > 0
    System::Alloc $2
    Pop $3
    System::Call 'version::GetFileVersionInfoW(w r1, i 0, i r2, p r3) i.r4'
    ${If} $4 <> 0
      StrCpy $4 "\StringFileInfo\040904b0\CompanyName"
      System::Call 'version::VerQueryValueW(p r3, w r4, *p .r4, *i .r5) i.r2'
      ${If} $2 <> 0
        System::Call 'kernel32::lstrcpynW(w .r4, p r4, i ${NSIS_MAX_STRLEN})'
        StrCpy $5 "\StringFileInfo\040904b0\ProductName"
        System::Call 'version::VerQueryValueW(p r3, w r5, *p .r5, *i .r2) i.r2'
        ${If} $2 <> 0
          System::Call 'kernel32::lstrcpynW(w .r5, p r5, i ${NSIS_MAX_STRLEN})'
          ${If} $4 == "${COMPANY}"
          ${AndIf} $5 == "${PRODUCT}"
            StrCpy $0 1
          ${EndIf}
        ${EndIf}
      ${EndIf}
    ${EndIf}
    System::Free $3
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd
!macroend
!insertmacro IsOurLibraryFunction ""
!insertmacro IsOurLibraryFunction "un."

; setupnote chooses its language from the thread locale (primary language French or not),
; and a new process gets the user's locale: the installer takes its language by the same
; rule, so the note that ends the installation speaks the installation's language.
Function .onInit
  SetShellVarContext all
  System::Call 'kernel32::GetThreadLocale() i.r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = 12
    StrCpy $LANGUAGE ${LANG_FRENCH}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  System::Call 'kernel32::GetThreadLocale() i.r0'
  IntOp $0 $0 & 0x3FF
  ${If} $0 = 12
    StrCpy $LANGUAGE ${LANG_FRENCH}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
FunctionEnd

Section "Orvaq" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; Settings, logs and images live in the user's profile and the public documents: the
  ; setup writes nothing there, so an upgrade keeps them as they are.
  File "${BIN_DIR}\Orvaq.exe"
!if /FileExists "${BIN_DIR}\OrvaqRbld2.exe"
  File "${BIN_DIR}\OrvaqRbld2.exe"
!endif
  File "${BIN_DIR}\setupnote.exe"
  File "${BIN_DIR}\Orvaq.TXT"
  File "${BIN_DIR}\Orvaqerr.409"
  File "${BIN_DIR}\Orvaqerr.40C"

  ; The scanner maker's library takes the place of ours in the field: never replace it.
  StrCpy $0 1
  ${If} ${FileExists} "$INSTDIR\RXFilter.DLL"
    Push "$INSTDIR\RXFilter.DLL"
    Call IsOurLibrary
  ${EndIf}
  ${If} $0 = 1
    File "${BIN_DIR}\RXFilter.DLL"
  ${Else}
    DetailPrint "$(LibraryKeptDetail)"
    MessageBox MB_OK|MB_ICONINFORMATION "$(LibraryKept)" /SD IDOK
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Orvaq.exe"

  !insertmacro OrvaqFirewallOpen
  !insertmacro OrvaqFirewallRules OrvaqFirewallAdd
  !insertmacro OrvaqFirewallClose

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${PRODUCT_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orvaq.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The note closes an interactive installation; deployment tools (/S) get no window. This
; runs before the setup's window goes, so it is hidden first: the note stands alone.
Function .onInstSuccess
  ${IfNot} ${Silent}
    HideWindow
    Exec '"$INSTDIR\setupnote.exe"'
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro OrvaqFirewallOpen
  !insertmacro OrvaqFirewallRules OrvaqFirewallRemove
  !insertmacro OrvaqFirewallClose

  ; Only the files this setup puts in place; settings beside the program (older
  ; installations kept Orvaq.INI there), logs and images stay.
  Delete "$INSTDIR\Orvaq.exe"
!if /FileExists "${BIN_DIR}\OrvaqRbld2.exe"
  Delete "$INSTDIR\OrvaqRbld2.exe"
!endif
  Delete "$INSTDIR\setupnote.exe"
  Delete "$INSTDIR\Orvaq.TXT"
  Delete "$INSTDIR\Orvaqerr.409"
  Delete "$INSTDIR\Orvaqerr.40C"
  ${If} ${FileExists} "$INSTDIR\RXFilter.DLL"
    Push "$INSTDIR\RXFilter.DLL"
    Call un.IsOurLibrary
    ${If} $0 = 1
      Delete "$INSTDIR\RXFilter.DLL"
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  DeleteRegKey /IfEmpty HKLM "${ORVAQ_FW_MARKS}"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "InstallDir"
  DeleteRegValue HKLM "${PRODUCT_KEY}" "Version"
  DeleteRegKey /IfEmpty HKLM "${PRODUCT_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
