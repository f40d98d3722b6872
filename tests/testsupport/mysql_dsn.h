#pragma once

#include <QtTest>

// The MariaDB data source of the integration tests, set by ./test.sh (or by
// eval "$(tests/integration/mariadb_server.sh start)"). Without it the test is skipped when
// SALES_SKIP_INTEGRATION=1 asks for that, and fails otherwise. For initTestCase.
#define SALES_REQUIRE_MYSQL_DSN(dsn)                                                                        \
    do {                                                                                                    \
        (dsn) = qEnvironmentVariable("SALES_TEST_MYSQL_DSN");                                               \
        if ((dsn).isEmpty()) {                                                                              \
            if (qEnvironmentVariable("SALES_SKIP_INTEGRATION") == QLatin1String("1"))                       \
                QSKIP("SALES_SKIP_INTEGRATION=1: MariaDB integration test skipped on request");             \
            QFAIL("SALES_TEST_MYSQL_DSN is not set. Run ./test.sh, or start a server with "                 \
                  "eval \"$(tests/integration/mariadb_server.sh start)\"; set SALES_SKIP_INTEGRATION=1 to " \
                  "skip.");                                                                                 \
        }                                                                                                   \
    } while (false)
