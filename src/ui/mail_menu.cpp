#include "ui/screen_context.h"

void install_mail_screens(const ScreenContext&) {}
