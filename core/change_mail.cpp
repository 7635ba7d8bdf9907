#include "core/change_mail.h"

#include <ctime>

#include "core/change_message.h"
#include "core/vigil.h"
#include "platform/message_box.h"

void sendChangeMail(const Vigil& vigil) {
    const std::string error = deliverChangeMail(vigil.description(), vigil.url(), vigil.emailAddresses(),
                                                changeMailSettings(), std::time(nullptr));
    if (!error.empty()) showMessageBox("Tervane", error);
}
