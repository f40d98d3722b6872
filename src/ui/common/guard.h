#pragma once

#include "db/database_error.h"
#include "ui/common/prompter.h"

// The event boundary: a statement the back-end refuses stops the action, its message is shown, and
// the window stays usable.
template <class Action>
bool guarded(Prompter& prompter, Action&& action) {
    try {
        action();
        return true;
    } catch (const DatabaseError& e) {
        prompter.inform(e.message());
        return false;
    }
}
