#include "TQuery.h"

#include "DataSetImpl.h"
#include "Exception.h"
#include "Session.h"
#include "TDatabase.h"

TQuery::TQuery(QObject* owner) : TDataSet(owner) {}
TQuery::~TQuery() = default;

QStringList& TQuery::SQL() {
    return FSQL;
}

void TQuery::SetSQL(const QStringList& lines) {
    Close();
    FSQL = lines;
}

static QString StatementText(const QStringList& lines) {
    const QString text = lines.join(QLatin1Char('\n'));
    if (text.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("No SQL statement available"));
    return text;
}

void TQuery::ExecSQL() {
    Close();
    const QString sql = StatementText(FSQL);
    if (!Session().Active()) Session().Open();
    Session().DatabaseFor(DatabaseName())->Connection().Execute(sql);
}

bool TQuery::UniDirectional() const {
    return FUniDirectional;
}
void TQuery::SetUniDirectional(bool on) {
    FUniDirectional = on;
}
bool TQuery::ParamCheck() const {
    return FParamCheck;
}
void TQuery::SetParamCheck(bool on) {
    FParamCheck = on;
}

void TQuery::PrepareOpen(TOpenSpec& spec) {
    spec.Sql = StatementText(FSQL);
    spec.UniDirectional = FUniDirectional;
}
