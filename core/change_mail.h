#pragma once

class Vigil;

// Mails the change notice of a Vigil to its recipients through the SMTP host of
// the settings. Missing settings or addresses are shown in a message box.
void sendChangeMail(const Vigil& vigil);
