#include "db/text_guard.h"

#include "db/database_error.h"

void refuse_unreadable_text(const QString& statement) {
    for (const QChar c : statement) {
        if (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            throw DatabaseError(
                QStringLiteral("保存できない文字（U+%1）が含まれています。その文字を取り除いてから、"
                               "もう一度保存してください。")
                    .arg(QString::number(c.unicode(), 16).toUpper()));
    }
}
