#pragma once

#include <QtTest>

// The mail servers of tests/integration/mail_servers.sh, which sets the variable named (and the
// others) for ./test.sh. Without it the test is skipped when SALES_SKIP_INTEGRATION=1 asks for that,
// and fails otherwise.
#define SALES_REQUIRE_MAIL_SERVERS(variable)                                                                \
    do {                                                                                                    \
        if (qEnvironmentVariableIsEmpty(variable)) {                                                        \
            if (qEnvironmentVariable("SALES_SKIP_INTEGRATION") == QLatin1String("1"))                       \
                QSKIP("SALES_SKIP_INTEGRATION=1: mail server tests skipped on request");                    \
            QFAIL("No mail servers: run ./test.sh, or eval \"$(tests/integration/mail_servers.sh start)\"; " \
                  "set SALES_SKIP_INTEGRATION=1 to skip.");                                                 \
        }                                                                                                   \
    } while (false)
