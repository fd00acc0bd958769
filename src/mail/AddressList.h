#pragma once
// Recipient lists as people type them into a header: "a@x; Bob <b@x>, \"Doe, J.\" <j@x> (work)".

#include <string>
#include <string_view>
#include <vector>

namespace ornpm {

struct TMailAddress {
  std::wstring Name;     // display name, empty when none was given
  std::wstring Address;  // the bare address
};

// Entries are separated by commas or semicolons outside quotes, comments and angle
// brackets; empty entries are skipped.
std::vector<TMailAddress> ParseAddressList(std::wstring_view text);

}  // namespace ornpm
