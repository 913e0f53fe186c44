; Installer of the monitor for 64-bit Windows, built with makensis by scripts/installer-windows:
;   makensis -DEXE=<korvan-ups.exe> -DOUTFILE=<korvan-ups-setup.exe> korvan-ups.nsi
;
; korvan-ups-setup.exe [/S] [/D=<folder>]
;   Installs for every user of the machine: the program under Program Files, the Start menu entry,
;   the start at logon and the uninstaller. The configuration key is created and the local Users
;   group may read and write it, so the monitor saves its configuration without an administrator.
;   /S installs without asking; /D= (last, unquoted) chooses the folder.
;
; uninstall.exe [/S] [/PURGE]
;   Removes the program, the Start menu entry, the start at logon and the uninstaller's own entry in
;   Programs and Features. The saved configuration stays for a later installation, unless the
;   "Configuración guardada" component is ticked or /PURGE is given.
;
; Exit code: 0 done, 1 cancelled, 2 aborted or the configuration key could not be opened to Users.

; A 64-bit Wine or Windows without the 32-bit layer cannot run the default x86 stub.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef EXE
  !error "pass -DEXE=<path of korvan-ups.exe>"
!endif
!ifndef OUTFILE
  !define OUTFILE "korvan-ups-setup.exe"
!endif

!define PRODUCT "Servicio de UPS"
!define VERSION "1.4.0"
!define PUBLISHER "Korvan"
!define PROGRAM "korvan-ups.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvanUps"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "KorvanUps"
; The monitor's own key (cfgRecords.h); only the uninstaller's purge names it, the grant lives in
; the program.
!define CONFIG_KEY "Software\Korvan\Ups\SysCfg_V1.2"
!define NO_GRANT_TEXT "No se pudo preparar la configuración en el registro para los usuarios del equipo. ${PRODUCT} sólo podrá guardar su configuración cuando se ejecute como administrador."

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Korvan\${PRODUCT}"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"

!define MUI_ABORTWARNING
!define MUI_UNCOMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SPANISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalación de ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "${PUBLISHER}"

; The Start menu and the logon start are the machine's, not the installing administrator's; the
; registry is the 64-bit view the monitor reads, whatever view a 32-bit host would give.
Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=${PROGRAM}" "${EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${PROGRAM}"'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${PROGRAM}",0'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The access list is set by the program itself: NSIS has no way to write one. The program is
  ; already in place, and this is the only moment it runs as an administrator.
  DetailPrint "Configuración: acceso para los usuarios del equipo"
  ClearErrors
  ExecWait '"$INSTDIR\${PROGRAM}" --grant-config-access' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "No se pudo dar acceso a la configuración ($0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "${NO_GRANT_TEXT}" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
SectionEnd

Section "un.${PRODUCT}" SecUnProgram
  SectionIn RO
  Delete /REBOOTOK "$INSTDIR\${PROGRAM}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  ; The publisher's folder goes only when no other of its programs is left in it.
  RMDir "$PROGRAMFILES64\Korvan"
SectionEnd

Section /o "un.Configuración guardada" SecPurge
  DeleteRegKey HKLM "${CONFIG_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Korvan\Ups"
  DeleteRegKey /ifempty HKLM "Software\Korvan"
SectionEnd

; After the sections: it ticks the purge section when asked on the command line.
Function un.onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    SectionGetFlags ${SecPurge} $R2
    IntOp $R2 $R2 | ${SF_SELECTED}
    SectionSetFlags ${SecPurge} $R2
  ${EndIf}
FunctionEnd
