#pragma once
// The logging page.

#include "views/ViewFrame.h"

namespace ornpm {

class TLogInfo;

class TLoggingFrame : public TViewFrame {
 public:
  TLoggingFrame() : TViewFrame({753, 373}) {}
  void Load(TLogInfo* info) { FInfo = info; }

 private:
  TLogInfo* FInfo = nullptr;
};

}  // namespace ornpm
