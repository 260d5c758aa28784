; The demo product's setup as an NSIS installer: NSIS copies the files,
; Verrand's plugin runs the setup plan (shortcut, configuration, PATH, user
; configuration file, licence registration) with its rollback, and the
; uninstaller runs the removal plan.
;
;   makensis -DPLUGIN_DIR=DIR [-DAMD64] [-DINSTALL_PLAN=FILE] [-DOUTFILE=notes-setup.exe] notes.nsi
;
; PLUGIN_DIR holds VerrandNsis.dll (the release's nsis\x86-unicode or
; nsis\amd64-unicode folder); AMD64 makes a 64-bit installer; INSTALL_PLAN
; is the setup plan (install.json by default; the build's failing variant
; gives it a last step that fails, so that the installer rolls back and
; ends with that step's status).
;
;   notes-setup.exe /S [/LICENSEKEY=KEY]        silent installation
;   "INSTDIR\uninst.exe" /S _?=INSTDIR      silent removal
Unicode true
!ifdef AMD64
  Target amd64-unicode
  !addplugindir /amd64-unicode "${PLUGIN_DIR}"
  InstallDir "$PROGRAMFILES64\Verrand NSIS Notes"
!else
  !addplugindir /x86-unicode "${PLUGIN_DIR}"
  InstallDir "$PROGRAMFILES\Verrand NSIS Notes"
!endif
!ifndef OUTFILE
  !define OUTFILE notes-setup.exe
!endif
!ifndef INSTALL_PLAN
  !define INSTALL_PLAN install.json
!endif
!define PRODUCT "Verrand NSIS Notes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!include FileFunc.nsh
!include LogicLib.nsh

; What the installer put into INSTDIR, each file by name: removed by the
; uninstaller, and by the installer when its plan failed. A folder goes
; only when it is empty.
!macro RemoveFiles
  Delete "$INSTDIR\bin\notes.cmd"
  Delete "$INSTDIR\bin\register.cmd"
  Delete "$INSTDIR\config\app.config"
  Delete "$INSTDIR\userconfigfiles\notes.ini"
  Delete "$INSTDIR\verrand-install.log"
  Delete "$INSTDIR\uninst.exe"
  RMDir "$INSTDIR\bin"
  RMDir "$INSTDIR\config"
  RMDir "$INSTDIR\userconfigfiles"
  RMDir "$INSTDIR"
!macroend

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Section "Install"
  SetOutPath "$INSTDIR\bin"
  File "..\product\files\bin\notes.cmd"
  File "..\msi\files\bin\register.cmd"
  SetOutPath "$INSTDIR\config"
  File "..\product\files\config\app.config"
  SetOutPath "$INSTDIR\userconfigfiles"
  File "..\product\userconfigfiles\notes.ini"

  ; The plans and the UI text go to the installer's own temporary folder,
  ; which is also the working folder of the plan's commands: none of them
  ; may hold a folder of INSTDIR open when the installer removes it.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "/oname=$PLUGINSDIR\install.json" "${INSTALL_PLAN}"
  File "/oname=$PLUGINSDIR\welcome.xml" "..\product\uitext\welcome.xml"

  ${GetParameters} $R0
  ${GetOptions} $R0 "/LICENSEKEY=" $R1
  VerrandNsis::Log "$INSTDIR\verrand-install.log"
  Pop $0
  VerrandNsis::Plan "$PLUGINSDIR\install.json" "INSTALLDIR=$INSTDIR\" "ProductName=${PRODUCT}" \
      "SourceDir=$PLUGINSDIR\" "LICENSEKEY=$R1" "SensitiveData=$R1" /END
  Pop $0
  VerrandNsis::Log ""
  Pop $1
  ${If} $0 != 0
    ; The plan rolled its steps back; the files are the installer's to take.
    DetailPrint "The setup plan failed with status $0 and was rolled back."
    !insertmacro RemoveFiles
    SetErrorLevel $0
    Abort "Setup of ${PRODUCT} failed."
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninst.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninst.exe" /S'
SectionEnd

Section "Uninstall"
  InitPluginsDir
  File "/oname=$PLUGINSDIR\remove.json" "remove.json"
  VerrandNsis::Plan "$PLUGINSDIR\remove.json" "INSTALLDIR=$INSTDIR\" "ProductName=${PRODUCT}" /END
  Pop $0
  ${If} $0 != 0
    DetailPrint "The removal plan failed with status $0; the files stay."
    SetErrorLevel $0
    Abort "Removal of ${PRODUCT} failed."
  ${EndIf}
  ; The licence file is the registration command's, which the removal
  ; plan does not undo.
  Delete "$INSTDIR\license.txt"
  !insertmacro RemoveFiles
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
