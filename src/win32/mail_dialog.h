#pragma once

#include <windows.h>

#include "view/mail_form.h"

namespace zel {

// The settings dialog on Win32, modal over `owner`: its pages' boxes filled from `form`, "Tamam",
// "Deneme gönder" and the second place's "Deneme" doing `calls`' work. Returns once it is closed.
void runMailDialog(HINSTANCE instance, HWND owner, const MailForm& form, MailDialogCalls calls);

}  // namespace zel
