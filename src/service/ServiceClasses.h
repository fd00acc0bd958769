#pragma once
// The service layer in one include: information objects, registry access and the
// workstation routines.

#include "service/Constants.h"
#include "service/Hosts.h"
#include "service/ProxyOverride.h"
#include "service/Registry.h"
#include "service/ResultMessage.h"
#include "service/ShellUtils.h"
