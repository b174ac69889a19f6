#include "TDatabase.h"

#include "Driver.h"
#include "DriverFactory.h"
#include "Exception.h"
#include "Session.h"
#include "TDataSet.h"

namespace {
const QString UserNameParam = QStringLiteral("USER NAME");
const QString PasswordParam = QStringLiteral("PASSWORD");
} // namespace

struct TDatabase::Impl {
    QString DatabaseName, AliasName;
    const QString SessionName = QStringLiteral("Default");
    QStringList Params;
    bool LoginPrompt = true;
    TTransIsolation Isolation = TTransIsolation::tiDirtyRead;
    bool Keep = true;
    bool Connecting = false;
    std::unique_ptr<TDriverConnection> Connection;
};

TDatabase::TDatabase(QObject* owner) : QObject(owner), d(std::make_unique<Impl>()) {
    Session().Register(this);
}

TDatabase::~TDatabase() {
    SetConnected(false);
    Session().Unregister(this);
}

const QString& TDatabase::DatabaseName() const {
    return d->DatabaseName;
}

void TDatabase::SetDatabaseName(const QString& name) {
    if (Connected() && name != d->DatabaseName)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open database"));
    d->DatabaseName = name;
}

const QString& TDatabase::AliasName() const {
    return d->AliasName;
}

void TDatabase::SetAliasName(const QString& name) {
    if (Connected() && name != d->AliasName)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open database"));
    d->AliasName = name;
}

const QString& TDatabase::SessionName() const {
    return d->SessionName;
}

QStringList& TDatabase::Params() {
    return d->Params;
}

QString TDatabase::ParamValue(const QString& name) const {
    for (const QString& line : d->Params) {
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq >= 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

void TDatabase::SetParamValue(const QString& name, const QString& value) {
    for (QString& line : d->Params) {
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq >= 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            line = line.left(eq + 1) + value;
            return;
        }
    }
    d->Params.append(name + QLatin1Char('=') + value);
}

bool TDatabase::LoginPrompt() const {
    return d->LoginPrompt;
}
void TDatabase::SetLoginPrompt(bool on) {
    d->LoginPrompt = on;
}
TTransIsolation TDatabase::TransIsolation() const {
    return d->Isolation;
}
void TDatabase::SetTransIsolation(TTransIsolation isolation) {
    d->Isolation = isolation;
}
bool TDatabase::KeepConnection() const {
    return d->Keep;
}
void TDatabase::SetKeepConnection(bool keep) {
    d->Keep = keep;
}
bool TDatabase::Connected() const {
    return d->Connection != nullptr;
}

void TDatabase::SetConnected(bool connected) {
    if (connected == Connected()) return;
    if (!connected) {
        for (TDataSet* ds : Session().DataSets())
            if (ds->OpenedOn() == this) ds->Close();
        d->Connection.reset();
        return;
    }
    if (d->Connecting)
        throw EDatabaseError(QStringLiteral("Database '%1' is already connecting").arg(d->DatabaseName));
    d->Connecting = true;
    struct TGuard {
        bool& flag;
        ~TGuard() { flag = false; }
    } guard{d->Connecting};

    if (!Session().Active()) Session().Open();
    const QString aliasName = d->AliasName.isEmpty() ? d->DatabaseName : d->AliasName;
    if (aliasName.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("Database name is missing"));
    const TAliasInfo alias = Session().AliasInfo(aliasName);
    if (alias.Kind == TAliasKind::DesktopFile) {
        d->Connection = OpenDriverConnection(alias, QString(), QString(), d->Isolation);
        return;
    }

    QString user, password;
    const TLoginCallback& login = Session().LoginCallback();
    if (d->LoginPrompt && login) {
        user = ParamValue(UserNameParam);
        if (user.isEmpty() && !alias.UserName.isEmpty()) {
            user = alias.UserName;
            SetParamValue(UserNameParam, user);
        }
        if (!login(d->DatabaseName, user, password))
            throw EDatabaseError(QStringLiteral("Login to '%1' was cancelled").arg(d->DatabaseName));
        SetParamValue(UserNameParam, user);
    } else {
        user = ParamValue(UserNameParam);
        password = ParamValue(PasswordParam);
    }

    if (alias.Kind == TAliasKind::EmbeddedServer && !alias.Password.isEmpty() && password != alias.Password)
        throw EDatabaseError(QStringLiteral("Invalid user ID or password"));
    d->Connection = OpenDriverConnection(alias, user, password, d->Isolation);
}

bool TDatabase::IsSQLBased() const {
    return Connected() && Session().IsSQLAlias(d->AliasName.isEmpty() ? d->DatabaseName : d->AliasName);
}

void TDatabase::SetWritable(bool writable) {
    if (!d->Connection) return;
    try {
        d->Connection->SetWritable(writable);
    } catch (...) {
        if (!writable) SetConnected(false);
        throw;
    }
}

TDriverConnection& TDatabase::Connection() {
    if (!d->Connection) SetConnected(true);
    return *d->Connection;
}
