#include "views/frIEActiveXSettings.h"

#include "service/IEActiveXSettings.h"
#include "service/ReportText.h"

namespace ornpm {

namespace {

constexpr wchar_t ZonesCaption[] = L"Зоны безопасности";

}  // namespace

void TIEActiveXSettingsFrame::CreateControls() {
  lblDomainInProxyOverride = AddControl(L"STATIC", ProxyRowCaption, LabelStyle, 0, {8, 6, 677, 22}, StretchWidth);
  // Read-only: no label editing, no dragging.
  tvSettings =
      AddControl(WC_TREEVIEWW, L"",
                 WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                 0, {0, 26, 685, 362}, StretchAll, WS_EX_CLIENTEDGE);
}

void TIEActiveXSettingsFrame::Load(TIEActiveXSettings* settings) {
  ::SendMessageW(tvSettings, WM_SETREDRAW, FALSE, 0);
  TreeView_DeleteAllItems(tvSettings);
  FSettings = settings;
  AddProxyItems();
  ReloadProxyInfo();
  // No zone list at all differs from an empty one: here no item, a report's says it holds none.
  if (settings->Zones())
    AddZoneItems(*settings->Zones());
  else if (settings->FromReport())
    AddItem(AddItem(TVI_ROOT, ZonesCaption), NotInReportText);
  ExpandAll(TreeView_GetRoot(tvSettings));
  ::SendMessageW(tvSettings, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(tvSettings, nullptr, TRUE);
}

void TIEActiveXSettingsFrame::ReloadProxyInfo() {
  if (!FSettings) return;
  SetText(lblDomainInProxyOverride, DomainInProxyOverrideText(*FSettings));
  // The list shown is the one the statement speaks of.
  const auto setItem = [this](HTREEITEM item, const std::wstring& text) {
    TVITEMW value{};
    value.mask = TVIF_TEXT;
    value.hItem = item;
    value.pszText = const_cast<wchar_t*>(text.c_str());
    TreeView_SetItem(tvSettings, &value);
  };
  const bool known = FSettings->ProxyKnown();
  setItem(FProxyEnableItem, KnownOr(known, FSettings->ProxyEnable() ? L"Да/Использовать" : L"Нет/Не использовать"));
  setItem(FProxyOverrideItem, KnownOr(known, FSettings->ProxyOverride()));
}

HTREEITEM TIEActiveXSettingsFrame::AddItem(HTREEITEM parent, const std::wstring& text) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<wchar_t*>(text.c_str());
  return TreeView_InsertItem(tvSettings, &insert);
}

void TIEActiveXSettingsFrame::AddProxyItems() {
  // The values are written by ReloadProxyInfo.
  HTREEITEM proxy = AddItem(TVI_ROOT, L"Настройки прокси-сервера");
  FProxyEnableItem = AddItem(AddItem(proxy, L"Использовать прокси-сервер для локальных подключений"), L"");
  FProxyOverrideItem = AddItem(AddItem(proxy, L"Не использовать прокси-сервер для адресов"), L"");
}

void TIEActiveXSettingsFrame::AddZoneItems(const std::vector<TZone>& zones) {
  HTREEITEM root = AddItem(TVI_ROOT, ZonesCaption);
  for (const TZone& zone : zones) {
    HTREEITEM zoneItem = AddItem(root, zone.Name);
    for (const TZoneParam& param : zone.Params) AddItem(AddItem(zoneItem, param.Caption()), param.ValueCaption());
  }
}

// An item can only be expanded once it has children, so this runs after the tree is built.
void TIEActiveXSettingsFrame::ExpandAll(HTREEITEM first) {
  for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tvSettings, item)) {
    HTREEITEM child = TreeView_GetChild(tvSettings, item);
    if (!child) continue;
    TreeView_Expand(tvSettings, item, TVE_EXPAND);
    ExpandAll(child);
  }
}

}  // namespace ornpm
