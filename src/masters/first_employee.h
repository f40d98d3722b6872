#pragma once

#include <QString>

class Session;

// An empty register has nobody to log in as: the login adds the first employee (and the company's
// name, when none is stored yet) here, and sales-cli adds employees the same way.

// Adds the employee and, when company_name is not empty, stores it as the company's name, in one
// transaction. Returns the message for the user when refused (nothing is stored then); empty when
// added. The session's employee list and company settings are read again afterwards.
QString add_first_employee(Session& session, const QString& name, const QString& kana,
                           const QString& company_name = QString());

// The employees' names as the login lists them, read again into the session.
void reload_employee_names(Session& session);
