#include "mail/dlgSendEMail.h"

namespace ornpm {

std::wstring CustomEMailRecipient;
std::wstring CustomEMailSubject;

// The send dialog and the submission are not built yet: the button does nothing.
void SendInfoByEMail(TCompositeInfo*, bool) {}

}  // namespace ornpm
