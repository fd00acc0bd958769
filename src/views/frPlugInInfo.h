#pragma once
// The plug-in page: path, version, hosts state and the processes that hold the DLL.

#include "views/ViewFrame.h"

namespace ornpm {

class TPlugInInfo;

class TPlugInInfoFrame : public TViewFrame {
 public:
  TPlugInInfoFrame() : TViewFrame({753, 373}) {}
  void Load(TPlugInInfo* info) { FInfo = info; }
  void ReloadHostsInfo() {}

 private:
  TPlugInInfo* FInfo = nullptr;
};

}  // namespace ornpm
