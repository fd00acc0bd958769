#pragma once
// Held text: how an INI file keeps its names and values whatever the file's encoding, and
// how it compares names. Each UTF-16 unit is held as one to three bytes, the way UTF-8
// writes the characters of the basic plane (a surrogate on its own too, so nothing is
// lost). ASCII is itself in this form, so a line of ASCII in an ANSI or UTF-8 file lends
// its own bytes. Names that differ only in letter case are one name, as the system's case
// table folds them; ASCII names, nearly all of them, are compared and hashed as they are.

#include <cstdint>
#include <string>
#include <string_view>

namespace ornpm {

void AppendHeld(std::string& held, std::wstring_view text);
void AppendUnits(std::wstring& text, std::string_view held);
std::wstring Units(std::string_view held);

// Of a held name, or of a name asked for as the caller gives it: no held copy is made.
uint32_t NameHash(std::string_view held);
uint32_t NameHash(std::wstring_view name);
bool SameName(std::string_view a, std::string_view b);
bool SameName(std::string_view held, std::wstring_view name);

}  // namespace ornpm
