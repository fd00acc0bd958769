#pragma once
// The hosts-file entry that maps the plug-in domain to the loopback address.

#include <string>

namespace ornpm {

// %windir%\System32\Drivers\etc\hosts
std::wstring GetHostsFileName();

// True when a line, trimmed, starts with the loopback address and ends with the plug-in
// domain (letter case ignored). A file that cannot be read raises its error.
bool IsPlugInDomainInHosts();

// Appends the entry unless it is there. 0: written or already present; 1: writing failed.
// Both outcomes are reported as RepairEntry says.
int WritePlugInDomainToHosts(bool consoleMode);

}  // namespace ornpm
