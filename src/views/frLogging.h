#pragma once
// The logging page.

#include "views/ViewFrame.h"

namespace ornpm {

class TLogInfo;

class TLoggingFrame : public TViewFrame {
 public:
  void Load(TLogInfo* info) { FInfo = info; }

 private:
  TLogInfo* FInfo = nullptr;
};

}  // namespace ornpm
