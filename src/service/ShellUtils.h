#pragma once
// Shell utilities shared by the window, the logging settings and the plug-in information.

#include <string>

namespace ornpm {

// Starts the command line as a new process without waiting; false when it could not start.
bool RunProgram(const std::wstring& commandLine);

// %AppData%\ORN\ORNPlugin, without a trailing delimiter.
std::wstring GetPlugInDataDir();

// The module's file name with the extension ".ini" when that file exists, else the same
// file name in the plug-in data folder. An empty name stands for the running program.
std::wstring GetIniFileName(const std::wstring& moduleName = {});

// Opens the folder in the shell; the outcome is not reported.
void ExploreFolder(const std::wstring& path);

// The fixed file version as "a.b.c.d", or empty when the file carries no version resource.
std::wstring GetFileVersionString(const std::wstring& fileName);

}  // namespace ornpm
