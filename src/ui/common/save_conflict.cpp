#include "ui/common/save_conflict.h"

bool save_shown_row(Prompter& prompter, StoredRow& shown,
                    const std::function<WriteCheck(const StoredRow* shown, StoredRow* stored)>& save,
                    const std::function<void()>& reload) {
    StoredRow stored;
    WriteCheck check = save(&shown, &stored);
    // Another change may come in while the question is open: each はい is checked against the row
    // the user was told about.
    while (check == WriteCheck::Changed) {
        if (!prompter.ask_yes_no(kChangedByOtherQuestion)) {
            reload();
            return false;
        }
        shown = stored;
        check = save(&shown, &stored);
    }
    if (check == WriteCheck::Deleted) {
        prompter.inform(kDeletedByOtherMessage);
        return false;
    }
    // A save refused before writing (a bad date, an empty field) leaves stored empty: the shown
    // row stays the one to compare with.
    if (stored.found)
        shown = stored;
    return true;
}
