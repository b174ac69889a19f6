#include "ZorvWorkQuery.h"

#include "ReservedWords.h"
#include "ZorvUtilUnit.h"
#include "engine/Exception.h"
#include "engine/FormatSettings.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/Win1251.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <utility>

namespace {

// The folder the program was started in: data scripts are found where the
// user starts it, and the server learns a full path.
QString StartFolder() {
    QString folder = QDir::currentPath();
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

// Text lines as a string list takes them: CR LF, LF or CR end a line, and a
// final line end adds no empty line.
QStringList TextLines(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineEnd);
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString AsciiUpper(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
    return text;
}

// A statement's value as a number to compare with 0; an absent value
// cannot be compared.
double Comparable(const QVariant& value) {
    bool ok = false;
    const double number = value.isValid() && !value.isNull() ? value.toDouble(&ok) : 0.0;
    if (!ok) throw Exception(QStringLiteral("Could not convert variant of type (Null) into type (Double)"));
    return number;
}

QString MessageOf(const std::exception& error) {
    if (const auto* own = dynamic_cast<const Exception*>(&error)) return own->Message();
    return QString::fromLocal8Bit(error.what());
}

QString CurrentDatabaseName() {
    return CurrentDatabase ? CurrentDatabase->DatabaseName() : QString();
}

QString DataScriptName(const QString& table) {
    if (table == QLatin1String("book")) return QStringLiteral("BraskData.sql");
    if (table == QLatin1String("stoki")) return QStringLiteral("RestData.sql");
    return QStringLiteral("ChangeData.sql");
}

QString ChooseDataScript() {
    for (const char* table : {"book", "stoki", "cng_currency"}) {
        const QString name = QLatin1String(table);
        const QVariant count =
            RunSql(QStringLiteral("select count(*) from systable where LCase(table_name) = '%1'").arg(name));
        if (Comparable(count) > 0) return DataScriptName(name);
    }
    return QString();
}

void RunDataScript(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QStringList lines = TextLines(FromWin1251(file.readAll()));
    file.close();
    try {
        for (const QString& line : lines) {
            const QString start = AsciiUpper(line.left(2));
            if (start == QLatin1String("GO") || start == QLatin1String(";;") || line == QLatin1String(";"))
                continue;
            RunSql(line);
        }
    } catch (...) {
        // Only a line the runner cannot even take (an empty one) gets here;
        // it ends the script without a box.
        LogSilentFailure(CurrentDatabaseName());
    }
}

} // namespace

QString SqlLiteral(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString SqlIdentifier(const QString& name) {
    auto plainStart = [](QChar c) { return c.isLetter() || c == u'_' || c == u'#' || c == u'$'; };
    bool plain = !name.isEmpty() && plainStart(name.front()) && !IsReservedWord(name);
    for (QChar c : name)
        plain = plain && (plainStart(c) || c.isDigit() || c == u'@');
    if (plain) return name;
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

TDatabase* CurrentDatabase = nullptr;
TZorvWorkQuery* WorkQuery = nullptr;
bool ContinueOnSqlError = false;
qint32 LastSqlError = 0;
qint32 ConnectionNumber = 0;
QString ExecDir = StartFolder();

TZorvWorkQuery::TZorvWorkQuery(QObject* owner, const QString& databaseName) : TQuery(owner) {
    SetDatabaseName(databaseName);
    SetUniDirectional(true);
    SetParamCheck(false);
}

void ApplyFormatSettings() {
    TFormatSettings& settings = FormatSettings();
    settings.DecimalSeparator = QLatin1Char('.');
    settings.DateSeparator = QLatin1Char('.');
    settings.TimeSeparator = QLatin1Char(':');
    settings.ShortDateFormat = QStringLiteral("DD.MM.YYYY");
    settings.ShortTimeFormat = QStringLiteral("HH:MM");
    settings.LongTimeFormat = QStringLiteral("HH:MM");
    settings.UpdateFromSystem = false;
}

QVariant RunSql(const QString& statement) {
    QVariant result;
    LastSqlError = 0;
    const QStringList lines = TextLines(statement);
    if (WorkQuery) {
        WorkQuery->Close();
        WorkQuery->SQL().clear();
        WorkQuery->SQL() = lines;
    }
    // A statement without a single line is the caller's fault: it is neither
    // shown nor swallowed.
    if (lines.isEmpty()) throw Exception(QStringLiteral("List index out of bounds (0)"));
    const QString start = AsciiUpper(lines.first().left(6));
    try {
        if (!WorkQuery || WorkQuery->DatabaseName().isEmpty())
            throw EDatabaseError(QStringLiteral("Database not selected."));
        if (start == QLatin1String("SELECT") || start == QLatin1String(" CALL ")) {
            WorkQuery->Open();
            if (!WorkQuery->Eof() && WorkQuery->FieldCount() > 0) {
                const TField* field = WorkQuery->Fields(0);
                if (!field->IsNull()) result = field->Value();
            }
        } else {
            WorkQuery->ExecSQL();
        }
    } catch (const EStatementCancelled&) {
        // The user stopped it: no box, but the statement did not run.
        LastSqlError = -1;
        if (!ContinueOnSqlError) throw;
        result = QVariant();
    } catch (const std::exception& error) {
        LastSqlError = -1;
        ShowMsg(MessageOf(error), QStringLiteral("SQL Exception"), MB_OK | MB_ICONSTOP);
        if (!ContinueOnSqlError) throw;
        // Swallowed, and while the preparation is quiet not even shown.
        LogSilentFailure(WorkQuery ? WorkQuery->DatabaseName() : CurrentDatabaseName());
        result = QVariant();
    }
    if (WorkQuery) WorkQuery->Close();
    return result;
}

void LogSilentFailure(const QString& database) {
    QString message;
    try {
        throw;
    } catch (const std::exception& error) {
        message = MessageOf(error);
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    qWarning("%s: %s", qUtf8Printable(database), qUtf8Printable(message));
}

void PrepareConnection(TDatabase* database) {
    CurrentDatabase = database;
    Session().GetAliasDescription(database->AliasName());

    delete WorkQuery;
    WorkQuery = nullptr;
    WorkQuery = new TZorvWorkQuery(QCoreApplication::instance(), database->DatabaseName());
    ApplyFormatSettings();

    if (!database->Connected() || !database->IsSQLBased()) return;

    // The probes and the data script may write, as stored scripts do;
    // nothing after them may.
    const auto readOnly = qScopeGuard([database] {
        try {
            database->SetWritable(false);
        } catch (...) {
            LogSilentFailure(database->DatabaseName());
        }
    });
    database->SetWritable(true);
    const bool continueWas = std::exchange(ContinueOnSqlError, true);
    const auto restoreContinue = qScopeGuard([continueWas] { ContinueOnSqlError = continueWas; });

    QString script = ChooseDataScript();
    if (!script.contains(QLatin1Char('.'))) script += QStringLiteral(".SQL");
    if (!script.contains(QLatin1Char('/'))) script = ExecDir + script;
    if (QFileInfo(script).isFile()) RunDataScript(script);

    ++QuietLevel;
    const auto lowerQuiet = qScopeGuard([] { --QuietLevel; });

    ConnectionNumber = RunSql(QStringLiteral("SELECT Connection_property('Number')")).toInt();
    if (ConnectionNumber == 0) {
        QRandomGenerator random(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()));
        ConnectionNumber = static_cast<qint32>(random.bounded(10000000));
    }

    LastSqlError = 0;
    if (Comparable(RunSql(QStringLiteral("select varexists('bvrConnectID')"))) != 0) {
        RunSql(QStringLiteral("SET bvrConnectID = %1").arg(ConnectionNumber));
        if (LastSqlError != 0) RunSql(QStringLiteral("SET @bvrConnectID = %1").arg(ConnectionNumber));
    }
    if (Comparable(RunSql(QStringLiteral("select varexists('bvrExecDir')"))) != 0)
        RunSql(QStringLiteral("SET bvrExecDir = ") + SqlLiteral(ExecDir));
}
