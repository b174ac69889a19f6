#include "OdbcParameters.h"

#include "OdbcStatement.h"
#include "engine/TDecimal.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <cstring>
#include <sqlext.h>
#include <sqlucode.h>

void TOdbcParameters::Bind(const TOdbcStatement& stmt, const QVariantList& values) {
    FParams.assign(values.size(), TParam());
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        TParam& p = FParams[i];
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLSMALLINT sqlType = SQL_WVARCHAR;
        SQLULEN columnSize = 1;
        SQLSMALLINT digits = 0;
        auto store = [&p](const void* data, size_t size) {
            p.Buffer.resize(size);
            std::memcpy(p.Buffer.data(), data, size);
            p.Indicator = SQLLEN(size);
        };
        // A value of fixed size in its C layout.
        auto storeFixed = [&](const auto& v, SQLSMALLINT c, SQLSMALLINT sql, SQLULEN size,
                              SQLSMALLINT scale) {
            store(&v, sizeof v);
            cType = c;
            sqlType = sql;
            columnSize = size;
            digits = scale;
        };
        switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
        case QMetaType::UnknownType:
            p.Buffer.resize(sizeof(SQLWCHAR));
            p.Indicator = SQL_NULL_DATA;
            break;
        case QMetaType::Bool: {
            const SQLCHAR v = value.toBool() ? 1 : 0;
            storeFixed(v, SQL_C_BIT, SQL_BIT, 1, 0);
            break;
        }
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::Short:
        case QMetaType::UShort: {
            const SQLBIGINT v = value.toLongLong();
            storeFixed(v, SQL_C_SBIGINT, SQL_BIGINT, 19, 0);
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const SQLDOUBLE v = value.toDouble();
            storeFixed(v, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0);
            break;
        }
        case QMetaType::QDate: {
            const QDate d = value.toDate();
            const SQL_DATE_STRUCT v{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
            storeFixed(v, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0);
            break;
        }
        case QMetaType::QTime: {
            const QTime t = value.toTime();
            const SQL_TIME_STRUCT v{SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()),
                                    SQLUSMALLINT(t.second())};
            storeFixed(v, SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0);
            break;
        }
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            const QDate d = dt.date();
            const QTime t = dt.time();
            const SQL_TIMESTAMP_STRUCT v{SQLSMALLINT(d.year()),          SQLUSMALLINT(d.month()),
                                         SQLUSMALLINT(d.day()),          SQLUSMALLINT(t.hour()),
                                         SQLUSMALLINT(t.minute()),       SQLUSMALLINT(t.second()),
                                         SQLUINTEGER(t.msec()) * 1000000};
            storeFixed(v, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            store(bytes.constData(), size_t(bytes.size()));
            p.Buffer.push_back(0); // never an empty buffer
            cType = SQL_C_BINARY;
            sqlType = SQL_VARBINARY;
            columnSize = std::max<SQLULEN>(1, bytes.size());
            break;
        }
        default: {
            if (IsDecimal(value)) {
                // The digits as a NUMERIC of their own precision and scale.
                const QByteArray number = value.value<TDecimal>().Text();
                store(number.constData(), size_t(number.size()) + 1);
                p.Indicator = SQLLEN(number.size());
                cType = SQL_C_CHAR;
                sqlType = SQL_NUMERIC;
                const qsizetype point = number.indexOf('.');
                columnSize = SQLULEN(
                    std::count_if(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }));
                digits = SQLSMALLINT(point < 0 ? 0 : number.size() - point - 1);
                break;
            }
            const QString text = value.toString();
            store(text.utf16(), size_t(text.size() + 1) * sizeof(SQLWCHAR));
            p.Indicator = SQLLEN(text.size() * sizeof(SQLWCHAR));
            columnSize = std::max<SQLULEN>(1, text.size());
            break;
        }
        }
        const SQLRETURN rc =
            SQLBindParameter(stmt.Get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, cType, sqlType, columnSize,
                             digits, p.Buffer.data(), SQLLEN(p.Buffer.size()), &p.Indicator);
        stmt.Check(rc, "SQLBindParameter");
    }
}
