#include "ui/screen_context.h"

void install_master_screens(const ScreenContext&) {}
