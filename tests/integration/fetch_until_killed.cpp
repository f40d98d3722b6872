// For the mail tests: runs the fetch of a program folder and kills itself with SIGKILL at a point
// of it, as a power cut or kill -9 would stop the program.
//   fetch_until_killed FOLDER stored|registered N
// stored N: right after the N-th message was stored as its file; registered N: right after the
// N-th registration was committed, before its file is noted and before the server is updated.
// Exits 3 when the point was never reached.
#include <signal.h>

#include <QCoreApplication>
#include <cstdio>

#include "app/session.h"
#include "app/startup.h"
#include "mail/fetch_mail.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: fetch_until_killed FOLDER stored|registered N\n");
        return 2;
    }
    const QString point = QString::fromLocal8Bit(argv[2]);
    const int n = QString::fromLocal8Bit(argv[3]).toInt();
    Session session;
    session.program_folder = QString::fromLocal8Bit(argv[1]);
    try {
        start_session(session);
        fetch_mail(session, [&](FetchPoint at, int done) {
            const bool here = (at == FetchPoint::Stored && point == QLatin1String("stored")) ||
                              (at == FetchPoint::Registered && point == QLatin1String("registered"));
            if (here && done == n)
                ::raise(SIGKILL);
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 3;
}
