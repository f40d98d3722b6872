#pragma once

#include <QString>
#include <memory>

#include "address/postal_table.h"

// Where the postal tables live. The program ships one (share/eigyo-techo/postal/postal.dat, or
// postal/postal.dat beside the executable in a build tree); `sales-cli postal update` writes the
// user's own (~/.local/share/eigyo-techo/postal.dat). Of the two the one with the newer data is used,
// the user's when both have the same date. The environment variable SALES_POSTAL_TABLE names one
// file to use instead of both.
QString shipped_postal_table_path();
QString updated_postal_table_path();

// The table in use, opened on first need and opened again when a file changes (an update made while
// the program runs is seen at the next look-up). nullptr with problem set when there is none.
const PostalTable* current_postal_table(QString* problem = nullptr);
