#pragma once
// The plug-in's local domain and the address the hosts file maps it to.

namespace ornpm {

// The local domain under which web pages reach the plug-in.
inline constexpr wchar_t PlugInDomain[] = L"ornpluginvlx.local";
inline constexpr wchar_t LocalHostAddress[] = L"127.0.0.1";

}  // namespace ornpm
