#include "service/IniFile.h"
