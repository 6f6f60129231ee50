// Windows Firewall COM adapter. The import library lacks the firewall GUIDs, so they
// are defined here (initguid.h before netfw.h, in this one file). Every HRESULT is
// checked: Wine creates the objects but answers E_NOTIMPL with outputs untouched.
#include "firewall/win/KvFirewallPolicyWin.h"

#include <windows.h>
#include <initguid.h>
#include <netfw.h>
#include <oleauto.h>

namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() { if (p) p->Release(); }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

struct Bstr {
  BSTR b = nullptr;
  ~Bstr() { if (b) SysFreeString(b); }
  std::wstring Text() const { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }
};

struct BstrIn {
  BSTR b;
  explicit BstrIn(const std::wstring& s) : b(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  ~BstrIn() { SysFreeString(b); }
};

bool ReadRule(INetFwRule* rule, KvFirewallRule& out) {
  Bstr name, app, ports;
  LONG protocol = 0;
  NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
  NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  if (FAILED(rule->get_Name(&name.b)) || FAILED(rule->get_Enabled(&enabled))) return false;
  out.name = name.Text();
  out.enabled = enabled != VARIANT_FALSE;
  out.hasApplicationName = SUCCEEDED(rule->get_ApplicationName(&app.b)) && app.b != nullptr;
  out.applicationName = app.Text();
  out.protocol = SUCCEEDED(rule->get_Protocol(&protocol)) ? protocol : -1;
  out.localPorts = SUCCEEDED(rule->get_LocalPorts(&ports.b)) ? ports.Text() : std::wstring();
  out.direction = SUCCEEDED(rule->get_Direction(&direction)) ? static_cast<long>(direction) : -1;
  out.action = SUCCEEDED(rule->get_Action(&action)) ? static_cast<long>(action) : -1;
  return true;
}

}  // namespace

CKvFirewallPolicyWin::CKvFirewallPolicyWin() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  m_bComInitialised = SUCCEEDED(hr);  // S_FALSE (already initialised) also needs its uninit
}

CKvFirewallPolicyWin::~CKvFirewallPolicyWin() {
  if (m_pPolicy) m_pPolicy->Release();
  if (m_bComInitialised) CoUninitialize();
}

INetFwPolicy2* CKvFirewallPolicyWin::Policy() {
  if (!m_pPolicy)
    if (FAILED(CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2,
                                reinterpret_cast<void**>(&m_pPolicy))))
      m_pPolicy = nullptr;
  return m_pPolicy;
}

bool CKvFirewallPolicyWin::GetFirewallEnabled(long profileType, bool& enabled) {
  INetFwPolicy2* policy = Policy();
  if (!policy) return false;
  VARIANT_BOOL on = VARIANT_FALSE;
  if (FAILED(policy->get_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profileType), &on))) return false;
  enabled = on != VARIANT_FALSE;
  return true;
}

bool CKvFirewallPolicyWin::GetCurrentProfileTypes(long& profileTypes) {
  INetFwPolicy2* policy = Policy();
  LONG types = 0;
  if (!policy || FAILED(policy->get_CurrentProfileTypes(&types))) return false;
  profileTypes = types;
  return true;
}

bool CKvFirewallPolicyWin::GetRules(std::vector<KvFirewallRule>& rules) {
  rules.clear();
  INetFwPolicy2* policy = Policy();
  if (!policy) return false;
  ComPtr<INetFwRules> list;
  ComPtr<IUnknown> unknown;
  ComPtr<IEnumVARIANT> items;
  if (FAILED(policy->get_Rules(&list)) || !list.p) return false;
  if (FAILED(list->get__NewEnum(&unknown)) || !unknown.p) return false;
  if (FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items))) || !items.p)
    return false;
  for (;;) {
    VARIANT v;
    VariantInit(&v);
    ULONG fetched = 0;
    if (items->Next(1, &v, &fetched) != S_OK || fetched != 1) break;
    ComPtr<INetFwRule> rule;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.pdispVal &&
        SUCCEEDED(v.pdispVal->QueryInterface(IID_INetFwRule, reinterpret_cast<void**>(&rule))) && rule.p) {
      KvFirewallRule r;
      if (ReadRule(rule.p, r)) rules.push_back(r);
    }
    VariantClear(&v);
  }
  return true;
}

bool CKvFirewallPolicyWin::RemoveRule(const std::wstring& name) {
  INetFwPolicy2* policy = Policy();
  ComPtr<INetFwRules> list;
  if (!policy || FAILED(policy->get_Rules(&list)) || !list.p) return false;
  BstrIn b(name);
  return SUCCEEDED(list->Remove(b.b));
}

bool CKvFirewallPolicyWin::AddRule(const KvFirewallRule& r) {
  INetFwPolicy2* policy = Policy();
  ComPtr<INetFwRules> list;
  ComPtr<INetFwRule> rule;
  if (!policy || FAILED(policy->get_Rules(&list)) || !list.p) return false;
  if (FAILED(CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwRule,
                              reinterpret_cast<void**>(&rule))) || !rule.p)
    return false;
  BstrIn name(r.name), description(r.description), app(r.applicationName), ports(r.localPorts),
      group(r.grouping);
  if (FAILED(rule->put_Name(name.b)) || FAILED(rule->put_Description(description.b)) ||
      FAILED(rule->put_ApplicationName(app.b)) || FAILED(rule->put_Protocol(r.protocol)) ||
      FAILED(rule->put_LocalPorts(ports.b)) ||
      FAILED(rule->put_Direction(static_cast<NET_FW_RULE_DIRECTION>(r.direction))) ||
      FAILED(rule->put_Grouping(group.b)) || FAILED(rule->put_Profiles(r.profiles)) ||
      FAILED(rule->put_Action(static_cast<NET_FW_ACTION>(r.action))) ||
      FAILED(rule->put_Enabled(r.enabled ? VARIANT_TRUE : VARIANT_FALSE)))
    return false;
  return SUCCEEDED(list->Add(rule.p));
}
