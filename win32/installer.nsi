; Zelvo for File, per user: no administrator rights, everything under HKCU and the user's folders.
; makensis -DVERSION=x.y.z -DSTAGE=<folder with the files> -DICON=<zelvo.ico> -DOUTFILE=<setup.exe> installer.nsi
; A 64-bit installer for a 64-bit program (and one that Wine without its 32-bit part runs).
Target amd64-unicode
SetCompressor /SOLID lzma
Name "Zelvo for File ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Zelvo"
InstallDirRegKey HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelvo" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelvo"
!define DAV_CLASS "Zelvo.HeaderChip"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Zelvo for File"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${STAGE}\zelvo.exe"
    File "${STAGE}\zelvo-cli.exe"
    File "${STAGE}\README.txt"
    SetOutPath "$INSTDIR\Lang"
    File "${STAGE}\Lang\*.lang"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Zelvo for File.lnk" "$INSTDIR\zelvo.exe"

    ; A header chip opens the Merge dialog; any file offers "Split with Zelvo".
    WriteRegStr HKCU "Software\Classes\.DAV" "" "${DAV_CLASS}"
    WriteRegStr HKCU "Software\Classes\${DAV_CLASS}" "" "Zelvo header chip"
    WriteRegStr HKCU "Software\Classes\${DAV_CLASS}\DefaultIcon" "" "$INSTDIR\zelvo.exe,0"
    WriteRegStr HKCU "Software\Classes\${DAV_CLASS}\shell\open\command" "" '"$INSTDIR\zelvo.exe" "%1"'
    WriteRegStr HKCU "Software\Classes\*\shell\Zelvo.Split" "" "Split with Zelvo"
    WriteRegStr HKCU "Software\Classes\*\shell\Zelvo.Split" "Icon" "$INSTDIR\zelvo.exe,0"
    WriteRegStr HKCU "Software\Classes\*\shell\Zelvo.Split\command" "" '"$INSTDIR\zelvo.exe" "%1"'

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Zelvo for File"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quorvex"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zelvo.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$INSTDIR\zelvo.exe"
    Delete "$INSTDIR\zelvo-cli.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\Lang\*.lang"
    RMDir "$INSTDIR\Lang"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Zelvo for File.lnk"

    ; .DAV goes only while it is still ours: another program may have taken it since.
    ReadRegStr $0 HKCU "Software\Classes\.DAV" ""
    StrCmp $0 "${DAV_CLASS}" 0 +2
        DeleteRegKey HKCU "Software\Classes\.DAV"
    DeleteRegKey HKCU "Software\Classes\${DAV_CLASS}"
    DeleteRegKey HKCU "Software\Classes\*\shell\Zelvo.Split"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
