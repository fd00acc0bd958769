#pragma once
// Sending the diagnosis by e-mail.

#include <string>

namespace ornpm {

class TCompositeInfo;

// Recipient and subject from the program's settings file; empty means the defaults.
extern std::wstring CustomEMailRecipient;
extern std::wstring CustomEMailSubject;

// Asks for the mail settings, composes the message and submits it.
void SendInfoByEMail(TCompositeInfo* info, bool extendedMode);

}  // namespace ornpm
