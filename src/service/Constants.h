#pragma once
// Fixed names and values shared by the information objects and the workstation routines.

namespace ornpm {

// The local domain under which web pages reach the plug-in.
inline constexpr wchar_t PlugInDomain[] = L"ornpluginvlx.local";
inline constexpr wchar_t LocalHostAddress[] = L"127.0.0.1";

// Per-user browser settings: proxy switch, proxy exceptions and the security zones.
inline constexpr wchar_t InternetSettingsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

}  // namespace ornpm
