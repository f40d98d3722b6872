#pragma once

class Database;

// Checks of the schema upgrade shared by the embedded-file test and the MariaDB integration test.
// Each expects a database holding the tables as made before the first step (no version table).
namespace upgrade_checks {

// Two PCs open the old database at once: the second has read the version when the first upgrades it.
// The second then runs no step again (no "duplicate column name", no refusal to start), and the
// database ends at the current version with one version row.
void check_two_pcs_upgrade_at_once(Database& first, Database& second);

// A version table left without its row (a first run cut short where each DDL statement commits on
// its own) is brought up to the current version, and the next opening finds nothing to do.
void check_version_table_without_row(Database& db);

}  // namespace upgrade_checks
