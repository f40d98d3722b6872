#pragma once

#include <QString>

#include "app/demo_data.h"

struct InitOptions {
    QString folder;
    QString db_kind = QStringLiteral("Jet");
    QString database_name;  // default: sales.mdb for Jet
    bool demo = false;
    DemoOptions demo_options;
    QString help_source;  // help/index.html to copy into the folder, if any
};

// Prepares a program folder: the database (for Jet the file; for the others the tables in the
// data source), sales.ini, mail/ and help/. Throws StartupError or DatabaseError; a new embedded
// file that could not be completed is removed again.
void init_program_folder(const InitOptions& options, const std::function<void(const QString&)>& report = {});
