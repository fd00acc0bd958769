#include "service/SimpleXMLParser.h"
