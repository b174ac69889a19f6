#include "TQuery.h"

#include "EngineInternal.h"

TQuery::TQuery(QObject* owner) : TDataSet(owner) {}
TQuery::~TQuery() = default;
QStringList& TQuery::SQL() { return FSQL; }
void TQuery::SetSQL(const QStringList& lines) { Close(); FSQL = lines; }
void TQuery::ExecSQL() { NotYet("ExecSQL"); }
bool TQuery::UniDirectional() const { return FUniDirectional; }
void TQuery::SetUniDirectional(bool on) { FUniDirectional = on; }
bool TQuery::ParamCheck() const { return FParamCheck; }
void TQuery::SetParamCheck(bool on) { FParamCheck = on; }
void TQuery::PrepareOpen(TOpenSpec&) { NotYet("TQuery::Open"); }
