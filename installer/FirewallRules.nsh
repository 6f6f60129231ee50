; The Windows firewall rules that Orvaq's start-up looks for (KvFirewall): the installer
; writes them while it runs elevated, so the first start of Orvaq finds them and changes
; nothing. The table below is also read by the host test that checks it against
; KvFirewall's own matching, so keep one rule per line in this form.
; Written through the firewall's COM objects: netsh cannot give a rule its group.

!define ORVAQ_FW_GROUP "TORVEL Rule Group"
!define ORVAQ_FW_DIRECTION 1  ; inbound
!define ORVAQ_FW_ACTION 1     ; allow

; OP name description program-file protocol(6 TCP, 17 UDP) local-ports
!macro OrvaqFirewallRules OP
  !insertmacro ${OP} "Orvaq.exe_3333" "Allow network traffic from Orvaq.exe over UDP port 3333" "Orvaq.exe" 6 "3333"
  !insertmacro ${OP} "Orvaq.exe_48322" "Allow network traffic from Orvaq.exe over UDP port 48322" "Orvaq.exe" 17 "48322"
!macroend

; Rules this installation added are marked under HKLM\Software\Orvaq\FirewallRules; the
; uninstaller removes only those (a rule Orvaq's start-up made itself, or one that was
; there before, stays).
!define ORVAQ_FW_MARKS "Software\Orvaq\FirewallRules"

; $R9: the policy (INetFwPolicy2), $R8: its rule list (INetFwRules); 0 when unavailable.
!macro OrvaqFirewallOpen
  StrCpy $R9 0
  StrCpy $R8 0
  System::Call "ole32::CoCreateInstance(g '{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}', p 0, i 1, g '{98325047-C671-4174-8D81-DEFCD3F03186}', *p .R9) i.R7"
  ${If} $R7 <> 0
    DetailPrint "$(FirewallUnavailable) ($R7)"
    StrCpy $R9 0
  ${Else}
    System::Call '$R9->18(*p .R8) i.R7'  ; get_Rules
    ${If} $R7 <> 0
      DetailPrint "$(FirewallUnavailable) ($R7)"
      StrCpy $R8 0
    ${EndIf}
  ${EndIf}
!macroend

!macro OrvaqFirewallClose
  ${If} $R8 P<> 0
    System::Call '$R8->2()'
  ${EndIf}
  ${If} $R9 P<> 0
    System::Call '$R9->2()'
  ${EndIf}
!macroend

; Adds one rule unless a rule of that name exists, with the profiles Orvaq's start-up
; would give it: the active ones without Public, unless Public is the only one.
!macro OrvaqFirewallAdd NAME DESCRIPTION PROGRAM PROTOCOL PORTS
  ${If} $R8 P<> 0
    StrCpy $R1 "${NAME}"
    System::Call 'oleaut32::SysAllocString(w R1) p.R6'
    System::Call '$R8->10(p R6, *p .R5) i.R7'  ; Item
    ${If} $R7 = 0
      System::Call '$R5->2()'
      DetailPrint "$(FirewallRuleKept): ${NAME}"
    ${Else}
      System::Call '$R9->7(*i .R4) i.R7'  ; get_CurrentProfileTypes
      ${If} $R7 <> 0
        StrCpy $R4 3
      ${EndIf}
      IntOp $R3 $R4 & 3
      ${If} $R3 <> 0
        StrCpy $R4 $R3
      ${EndIf}
      System::Call "ole32::CoCreateInstance(g '{2C5BC43E-3369-4C33-AB0C-BE9469677AF4}', p 0, i 1, g '{AF230D27-BABA-4E42-ACED-F524F22CFCE2}', *p .R5) i.R7"
      ${If} $R7 = 0
        System::Call '$R5->8(p R6)'  ; put_Name
        !insertmacro OrvaqFirewallPutText 10 "${DESCRIPTION}"
        !insertmacro OrvaqFirewallPutText 12 "$INSTDIR\${PROGRAM}"
        System::Call '$R5->16(i ${PROTOCOL})'  ; put_Protocol, before the ports
        !insertmacro OrvaqFirewallPutText 18 "${PORTS}"
        System::Call '$R5->28(i ${ORVAQ_FW_DIRECTION})'
        !insertmacro OrvaqFirewallPutText 36 "${ORVAQ_FW_GROUP}"
        System::Call '$R5->38(i R4)'  ; put_Profiles
        System::Call '$R5->42(i ${ORVAQ_FW_ACTION})'
        System::Call '$R5->34(i -1)'  ; put_Enabled (VARIANT_TRUE)
        System::Call '$R8->8(p R5) i.R7'  ; Add
        System::Call '$R5->2()'
      ${EndIf}
      ${If} $R7 = 0
        WriteRegDWORD HKLM "${ORVAQ_FW_MARKS}" "${NAME}" 1
        DetailPrint "$(FirewallRuleAdded): ${NAME}"
      ${Else}
        DetailPrint "$(FirewallRuleFailed): ${NAME} ($R7)"
      ${EndIf}
    ${EndIf}
    System::Call 'oleaut32::SysFreeString(p R6)'
  ${EndIf}
!macroend

; Sets one text property (vtable slot SLOT) of the rule in $R5.
!macro OrvaqFirewallPutText SLOT TEXT
  StrCpy $R1 "${TEXT}"
  System::Call 'oleaut32::SysAllocString(w R1) p.R2'
  System::Call '$R5->${SLOT}(p R2)'
  System::Call 'oleaut32::SysFreeString(p R2)'
!macroend

!macro OrvaqFirewallRemove NAME DESCRIPTION PROGRAM PROTOCOL PORTS
  ReadRegDWORD $R3 HKLM "${ORVAQ_FW_MARKS}" "${NAME}"
  ${If} $R3 = 1
  ${AndIf} $R8 P<> 0
    StrCpy $R1 "${NAME}"
    System::Call 'oleaut32::SysAllocString(w R1) p.R6'
    System::Call '$R8->9(p R6) i.R7'  ; Remove
    System::Call 'oleaut32::SysFreeString(p R6)'
    DetailPrint "$(FirewallRuleRemoved): ${NAME} ($R7)"
  ${EndIf}
  DeleteRegValue HKLM "${ORVAQ_FW_MARKS}" "${NAME}"
!macroend
