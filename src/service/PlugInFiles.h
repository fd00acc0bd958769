#pragma once
// Where the plug-in's files are: its data folder, a file's version.

#include <string>

namespace ornpm {

// %AppData%\ORN\ORNPlugin, without a trailing delimiter.
std::wstring GetPlugInDataDir();

// The fixed file version as "a.b.c.d", or empty when the file carries no version resource.
std::wstring GetFileVersionString(const std::wstring& fileName);

}  // namespace ornpm
