#pragma once
// The proxy and zones page: whether the plug-in domain is among the proxy exceptions, and a
// read-only tree of the proxy settings and the ActiveX values of every security zone.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "views/ViewFrame.h"

namespace ornpm {

class TIEActiveXSettings;
struct TZone;

class TIEActiveXSettingsFrame : public TViewFrame {
 public:
  TIEActiveXSettingsFrame() : TViewFrame({685, 362}) {}

  // Rebuilds the statement and the whole tree, every item expanded.
  void Load(TIEActiveXSettings* settings);
  // Rewrites the statement and the proxy values of the tree from the settings, after a
  // repair has stored a new list; the zones keep the values of the last Load.
  void ReloadProxyInfo();

  // For tests: the controls by name.
  HWND tvSettings = nullptr;
  HWND lblDomainInProxyOverride = nullptr;

 protected:
  void CreateControls() override;

 private:
  HTREEITEM AddItem(HTREEITEM parent, const std::wstring& text);
  void AddProxyItems();
  void AddZoneItems(const std::vector<TZone>& zones);
  void ExpandAll(HTREEITEM first);

  TIEActiveXSettings* FSettings = nullptr;
  HTREEITEM FProxyEnableItem = nullptr, FProxyOverrideItem = nullptr;
};

}  // namespace ornpm
