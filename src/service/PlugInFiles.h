#pragma once
// Where the plug-in's files are: its data folder, the INI file beside a module, a file's version.

#include <string>

namespace ornpm {

// %AppData%\ORN\ORNPlugin, without a trailing delimiter.
std::wstring GetPlugInDataDir();

// The module's file name with the extension ".ini" when that file exists, else the same
// file name in the plug-in data folder. An empty name stands for the running program.
std::wstring GetIniFileName(const std::wstring& moduleName = {});

// The fixed file version as "a.b.c.d", or empty when the file carries no version resource.
std::wstring GetFileVersionString(const std::wstring& fileName);

}  // namespace ornpm
