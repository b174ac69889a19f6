#pragma once

#include "TDataSet.h"

#include <QStringList>

// A statement in the SQL Anywhere dialect, sent as it stands.
class TQuery : public TDataSet {
    Q_OBJECT
public:
    explicit TQuery(QObject* owner = nullptr);
    ~TQuery() override;

    QStringList& SQL();
    void SetSQL(const QStringList& lines); // closes the query first
    void ExecSQL();                        // runs without expecting rows; raises on failure

    // Forward-only: the rows are read once, nothing is kept behind.
    bool UniDirectional() const;
    void SetUniDirectional(bool on);
    // Off: a colon in the text reaches the server unchanged. The engine
    // never substitutes parameters into query texts either way.
    bool ParamCheck() const;
    void SetParamCheck(bool on);

protected:
    void PrepareOpen(TOpenSpec& spec) override;

private:
    QStringList FSQL;
    bool FUniDirectional = false;
    bool FParamCheck = true;
};
