#pragma once
// Environment variables, the program's own file, starting another program, and file-name helpers that follow Windows
// path rules (both "\" and "/" separate folders; a drive's "C:" ends a folder part too).

#include <windows.h>

#include <string>
#include <string_view>

namespace ornpm {

// The value of an environment variable, or empty when it is not set.
std::wstring GetEnv(const wchar_t* name);

// Full path of a loaded module; the running program's own file by default.
std::wstring ModuleFileName(HMODULE module = nullptr);

// Starts the command line as a new process without waiting; false when it could not start.
bool RunProgram(const std::wstring& commandLine);

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Creates the folder and every missing folder above it; EFCreateError naming the folder
// that could not be created.
void ForceDirectories(std::wstring_view path);

// Index just past the last folder delimiter or drive colon, 0 when there is none.
size_t FileNameStart(std::wstring_view path);
std::wstring ExtractFileName(std::wstring_view path);
// The folder part with its trailing delimiter.
std::wstring ExtractFilePath(std::wstring_view path);
std::wstring ExtractFileExt(std::wstring_view path);
// Replaces the extension (the part from the last dot of the file name), or appends one.
std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view extension);
std::wstring IncludeTrailingPathDelimiter(std::wstring_view path);

}  // namespace ornpm
