#pragma once
// The proxy and zones page.

#include "views/ViewFrame.h"

namespace ornpm {

class TIEActiveXSettings;

class TIEActiveXSettingsFrame : public TViewFrame {
 public:
  TIEActiveXSettingsFrame() : TViewFrame({753, 373}) {}
  void Load(TIEActiveXSettings* settings) { FSettings = settings; }
  void ReloadProxyInfo() {}

 private:
  TIEActiveXSettings* FSettings = nullptr;
};

}  // namespace ornpm
