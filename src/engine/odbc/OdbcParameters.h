#pragma once

// The bound values of a statement's "?" markers.

#include <QVariantList>
#include <sql.h>
#include <vector>

class TOdbcStatement;

// Kept as long as the statement may be executed again: the driver reads the
// buffers when it runs.
class TOdbcParameters {
public:
    void Bind(const TOdbcStatement& stmt, const QVariantList& values);

private:
    struct TParam {
        std::vector<char> Buffer;
        SQLLEN Indicator = 0;
    };
    std::vector<TParam> FParams;
};
