// The SQL Anywhere dialect translator: its tokens cover the text exactly,
// a statement is translated or refused with EDatabaseError, and a text
// without any of the dialect's words, escapes or variables passes unchanged.

#include "FuzzInput.h"
#include "engine/Exception.h"
#include "engine/sqlite/SqlAnywhereDialect.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = InputText(data, size);
    QString joined;
    for (const TSqlToken& token : TokenizeSql(text))
        joined += token.Text;
    if (joined != text) Broken("tokens do not cover the text", text);

    // Names that begin with "v" are connection variables.
    const TIsVariable isVariable = [](const QString& name) {
        return name.startsWith(QLatin1Char('v'), Qt::CaseInsensitive);
    };
    try {
        const TDialectStatement statement = TranslateStatement(text, isVariable);
        static const QRegularExpression dialect(QStringLiteral("\\\\|\\b(list|sys|call|v\\w*|@\\w*)\\b|;"),
                                                QRegularExpression::CaseInsensitiveOption);
        if (statement.Kind == TDialectStatement::TKind::Sql && !text.contains(dialect) &&
            statement.Sql != text)
            Broken("plain SQL changed", text + QStringLiteral(" -> ") + statement.Sql);
    } catch (const EDatabaseError&) {
    }
    return 0;
}
