// Reading a stored mail from arbitrary bytes: no crash, no hang.
#include <QFile>
#include <QTemporaryDir>

#include "fuzz_support.h"
#include "mail/bsmtp.h"

namespace {
QTemporaryDir* folder;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz_application(argc, argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(folder->filePath(QStringLiteral("m1.eml")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const auto read = ReadMail(QStringLiteral("m1"), QStringLiteral("subject:from:date:"), folder->path());
    if (read)
        FUZZ_CHECK(read->size() == 4, "ReadMail gave %d texts", int(read->size()));
    return 0;
}
