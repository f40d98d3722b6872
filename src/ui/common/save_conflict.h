#pragma once

#include <functional>

#include "db/stored_row.h"
#include "ui/common/prompter.h"

// A save (or delete) of a row a screen shows, with what it finds answered as the user expects:
// another PC changed the row → asked; はい saves over it (checked again against the row as it is
// now), いいえ calls reload. The row is gone → told, nothing stored. shown becomes the row as stored
// after the save. False when another PC's change or delete stopped the save.
bool save_shown_row(Prompter& prompter, StoredRow& shown,
                    const std::function<WriteCheck(const StoredRow* shown, StoredRow* stored)>& save,
                    const std::function<void()>& reload);
