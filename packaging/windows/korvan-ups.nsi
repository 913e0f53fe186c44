; Installer of the monitor for 64-bit Windows, built with makensis by scripts/installer-windows:
;   makensis -DEXE=<korvan-ups.exe> -DOUTFILE=<korvan-ups-setup.exe> korvan-ups.nsi
;
; korvan-ups-setup.exe [/S] [/D=<folder>]
;   Installs for every user of the machine: the program under Program Files, the Start menu entry,
;   the start at logon, the uninstaller, the event log's source and an inbound firewall rule for
;   the agent's traps (UDP 162, every profile). The configuration key is created in the registry's
;   32-bit view, where earlier installations keep it, and the local Users group may read and write
;   it, so the monitor saves its configuration without an administrator. A monitor that runs
;   (from an earlier installation) is asked to end first; the installation fails when the program
;   file stays in use. An interactive installation starts the monitor at the end.
;   /S installs without asking; /D= (last, unquoted) chooses the folder.
;
; uninstall.exe [/S] [/PURGE]
;   Ends a running monitor and removes the program, the Start menu entry, the start at logon, the
;   event log's source, the firewall rule and the uninstaller's own entry in Programs and
;   Features. The saved configuration and each user's event history stay for a later
;   installation, unless the "Configuración guardada" component is ticked or /PURGE is given.
;
; Exit code: 0 done, 1 cancelled, 2 aborted, the configuration key could not be opened to Users or
; the firewall rule could not be added, 3 the program file stayed in use.

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
; The event a running monitor waits on to end as its "&Finalizar" ends it (win32SingleInstance.h).
!define END_EVENT "Global\KorvanUps.Finalizar"
!define EVENT_MODIFY_STATE 0x0002
!define EVENT_LOG_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\korvan-ups"
!define FIREWALL_RULE "${PRODUCT} (traps SNMP)"
!define NETSH '"$SYSDIR\netsh.exe" advfirewall firewall'
!define IN_USE_TEXT "${PRODUCT} sigue en ejecución y su programa no se puede reemplazar. Finalícelo desde su icono y vuelva a intentarlo."
!define NO_FIREWALL_TEXT "No se pudo agregar la regla del firewall para los traps SNMP (UDP 162). Sin ella el monitor no recibe los traps del agente."
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
; The monitor runs as the user who is logged on, not as the administrator who installs: the
; shell starts it.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Iniciar ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartMonitor
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
; registry is the 64-bit view of a 64-bit program (the configuration's own key is in the 32-bit
; view, and only the purge names it).
Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function StartMonitor
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\${PROGRAM}"'
FunctionEnd

; Asks a running monitor to end and waits, 20 s at most, until its program file may be written.
; A monitor too old to hear the request keeps the file, and the caller fails.
!macro END_RUNNING_MONITOR un
Function ${un}EndRunningMonitor
  System::Call 'kernel32::OpenEventW(i ${EVENT_MODIFY_STATE}, i 0, w "${END_EVENT}") p .r0'
  ${If} $0 P<> 0
    DetailPrint "Finalizando ${PRODUCT}"
    System::Call 'kernel32::SetEvent(p r0)'
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  StrCpy $1 0
  ${DoWhile} ${FileExists} "$INSTDIR\${PROGRAM}"
    ClearErrors
    FileOpen $2 "$INSTDIR\${PROGRAM}" a
    ${IfNot} ${Errors}
      FileClose $2
      Return
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 >= 80
      DetailPrint "El programa sigue en uso"
      MessageBox MB_OK|MB_ICONSTOP "${IN_USE_TEXT}" /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    Sleep 250
  ${Loop}
FunctionEnd
!macroend
!insertmacro END_RUNNING_MONITOR ""
!insertmacro END_RUNNING_MONITOR "un."

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call EndRunningMonitor
  ClearErrors
  File "/oname=${PROGRAM}" "${EXE}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "${IN_USE_TEXT}" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
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

  ; The program carries its message table: the Event Viewer shows the texts without a warning.
  WriteRegExpandStr HKLM "${EVENT_LOG_KEY}" "EventMessageFile" "$INSTDIR\${PROGRAM}"
  WriteRegDWORD HKLM "${EVENT_LOG_KEY}" "TypesSupported" 7

  ; The agent's traps come unasked, and the firewall drops such datagrams unless a rule lets
  ; them in; an ordinary user cannot allow them at its prompt. Replaced, not added twice, on an
  ; upgrade.
  DetailPrint "Firewall: traps SNMP (UDP 162)"
  nsExec::ExecToLog '${NETSH} delete rule name="${FIREWALL_RULE}"'
  Pop $0
  nsExec::ExecToLog '${NETSH} add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\${PROGRAM}" protocol=UDP localport=162 profile=any enable=yes'
  Pop $0
  ${If} $0 != 0
    DetailPrint "No se pudo agregar la regla del firewall ($0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "${NO_FIREWALL_TEXT}" /SD IDOK
    SetErrorLevel 2
  ${EndIf}

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
  Call un.EndRunningMonitor
  Delete /REBOOTOK "$INSTDIR\${PROGRAM}"
  nsExec::ExecToLog '${NETSH} delete rule name="${FIREWALL_RULE}"'
  Pop $0
  DeleteRegKey HKLM "${EVENT_LOG_KEY}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  ; The publisher's folder goes only when no other of its programs is left in it.
  RMDir "$PROGRAMFILES64\Korvan"
SectionEnd

!macro DELETE_CONFIG_KEYS
  DeleteRegKey HKLM "${CONFIG_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Korvan\Ups"
  DeleteRegKey /ifempty HKLM "Software\Korvan"
!macroend

; The configuration in the 32-bit view and what earlier builds left in the 64-bit one, and the
; event history that the monitor keeps in each user's local application data.
Section /o "un.Configuración guardada" SecPurge
  SetRegView 32
  !insertmacro DELETE_CONFIG_KEYS
  SetRegView 64
  !insertmacro DELETE_CONFIG_KEYS
  ${GetParent} "$PROFILE" $R1
  FindFirst $R2 $R3 "$R1\*"
  ${DoWhile} $R3 != ""
    ${If} $R3 != "."
    ${AndIf} $R3 != ".."
      RMDir /r "$R1\$R3\AppData\Local\korvan-ups"
    ${EndIf}
    FindNext $R2 $R3
  ${Loop}
  FindClose $R2
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
