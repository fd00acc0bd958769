#pragma once
// Common mode's only page: registration, hosts and proxy state and the logging settings.

#include "views/ViewFrame.h"

namespace ornpm {

class TCompositeInfo;

class TSummaryInfoFrame : public TViewFrame {
 public:
  void Load(TCompositeInfo* info) { FInfo = info; }
  void ReloadHostsInfo() {}
  void ReloadProxyInfo() {}

 private:
  TCompositeInfo* FInfo = nullptr;
};

}  // namespace ornpm
