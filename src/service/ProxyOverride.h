#pragma once
// The plug-in domain in the per-user list of proxy exceptions (ProxyOverride).

namespace ornpm {

// True when the list contains the domain anywhere, letter case respected. A value of a
// type other than string raises its read error.
bool IsPlugInDomainInProxyOverride();

// Appends the domain, separated by ";", unless it is there, keeping the value's type
// (string or expandable string). 0: written, already present, or no settings key to write
// to; 1: failed, the list unchanged (a key without write access, a value that would not be
// written back as it is stored). Reported as RepairEntry says.
int WritePlugInDomainToProxyOverride(bool consoleMode);

}  // namespace ornpm
