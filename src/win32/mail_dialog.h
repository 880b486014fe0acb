#pragma once

#include <windows.h>

#include "view/mail_form.h"

namespace zel {

// The mail dialog on Win32, modal over `owner`: its boxes filled from `form`, "Tamam" and
// "Deneme gönder" doing `calls`' work. Returns once it is closed.
void runMailDialog(HINSTANCE instance, HWND owner, const MailForm& form, MailDialogCalls calls);

}  // namespace zel
