#include "SqliteParameters.h"

#include "engine/TDecimal.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

void BindSqlite(sqlite3* db, sqlite3_stmt* statement, const QVariantList& params) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        const int index = i + 1;
        int rc;
        const auto text = [&](const QString& value) {
            const QByteArray utf8 = value.toUtf8();
            return sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        };
        if (v.isNull()) {
            rc = sqlite3_bind_null(statement, index);
            if (rc != SQLITE_OK) RaiseSqliteError(db);
            continue;
        }
        // Dates and times are stored as ISO texts.
        const auto timeText = [](const QTime& t) {
            return t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
        };
        switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(statement, index, v.toLongLong());
            break;
        case QMetaType::Float:
        case QMetaType::Double:
            rc = sqlite3_bind_double(statement, index, v.toDouble());
            break;
        case QMetaType::QDate:
            rc = text(v.toDate().toString(Qt::ISODate));
            break;
        case QMetaType::QTime:
            rc = text(timeText(v.toTime()));
            break;
        case QMetaType::QDateTime: {
            const QDateTime dt = v.toDateTime();
            rc = text(dt.date().toString(Qt::ISODate) + u' ' + timeText(dt.time()));
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = v.toByteArray();
            rc = sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default:
            // A decimal goes as its digits: a numeric column reads them back
            // as the number they are.
            rc = text(IsDecimal(v) ? v.value<TDecimal>().ToString() : v.toString());
            break;
        }
        if (rc != SQLITE_OK) RaiseSqliteError(db);
    }
}
