#include "engine/Exception.h"
#include "engine/sqlite/SqlAnywhereDialect.h"
#include "support/TestRegistry.h"

#include <QTest>

using TKind = TDialectStatement::TKind;
Q_DECLARE_METATYPE(TKind)

namespace {
bool OnlyV(const QString& name) {
    return name.compare(QLatin1String("v"), Qt::CaseInsensitive) == 0;
}
} // namespace

class DialectTest : public QObject {
    Q_OBJECT
private slots:
    void literals_data() {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("value");
        QTest::newRow("hex tab") << R"('a\x09b')"
                                 << "a\tb";
        QTest::newRow("upper X") << R"('\X41')"
                                 << "A";
        QTest::newRow("code page byte") << R"('\xE0\xC0')" << QString::fromUtf8("аА");
        QTest::newRow("newline") << R"('1\n2')"
                                 << "1\n2";
        QTest::newRow("backslash") << R"('C:\\dir')"
                                   << R"(C:\dir)";
        QTest::newRow("other backslash stays") << R"('C:\Out\ORDERS')"
                                               << R"(C:\Out\ORDERS)";
        QTest::newRow("short hex stays") << R"('\x4')"
                                         << R"(\x4)";
        QTest::newRow("backslash before close") << R"('C:\')"
                                                << R"(C:\)";
        QTest::newRow("doubled quote") << "'it''s'"
                                       << "it's";
    }
    void literals() {
        QFETCH(QString, literal);
        QFETCH(QString, value);
        const auto tokens = TokenizeSql(literal);
        QCOMPARE(tokens.size(), size_t(1));
        QCOMPARE(tokens[0].Kind, TSqlToken::TKind::String);
        QCOMPARE(tokens[0].Value, value);
        // What reaches SQLite reads back as the same text.
        const QString sql = TranslateStatement(literal, {}).Sql;
        const auto back = TokenizeSql(sql);
        QCOMPARE(back.size(), size_t(1));
        QCOMPARE(back[0].Value, value);
        if (!literal.contains(u'\\')) QCOMPARE(sql, literal);
    }

    void translations_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("sql");
        QTest::newRow("plain passes as it stands")
            << "select a,  b -- note\nfrom \"t\" where c = 'x''y' /* c */ and d<>1"
            << "select a,  b -- note\nfrom \"t\" where c = 'x''y' /* c */ and d<>1";
        QTest::newRow("catalogue") << "select table_name from sys.systable"
                                   << "select table_name from systable";
        QTest::newRow("catalogue in capitals") << "SELECT * FROM SYS . SYSTABLE"
                                               << "SELECT * FROM systable";
        QTest::newRow("owner of another table stays") << "select * from sys.other"
                                                      << "select * from sys.other";
        QTest::newRow("list") << "select list(name) from t"
                              << "select sa_list(0, name, ',') from t";
        QTest::newRow("list ordered")
            << "select replace(list(name order by column_number asc),',','x') from t"
            << "select replace(sa_list(0, name, ',', column_number, 0),',','x') from t";
        QTest::newRow("list with everything")
            << "select LIST(DISTINCT f(a, b), '; ' ORDER BY c DESC, d) from t"
            << "select sa_list(1, f(a, b), '; ', c, 1, d, 0) from t";
        QTest::newRow("list inside list") << "select list(list(a)) from t"
                                          << "select sa_list(0, sa_list(0, a, ','), ',') from t";
        QTest::newRow("escaped literal in list") << R"(select list(a, '\x09') from t)"
                                                 << "select sa_list(0, a, '\t') from t";
        QTest::newRow("call") << "call sa_describe_query('select 1')"
                              << "SELECT * FROM sa_describe_query('select 1')";
        QTest::newRow("variables")
            << "select v, V + 1, t.v, v.x, v(1), 'v', \"v\" from t"
            << "select sa_variable('v'), sa_variable('V') + 1, t.v, v.x, v(1), 'v', \"v\" from t";
        QTest::newRow("unclosed literal left to the server") << "select 'abc"
                                                             << "select 'abc";
    }
    void translations() {
        QFETCH(QString, statement);
        QFETCH(QString, sql);
        const TDialectStatement st = TranslateStatement(statement, OnlyV);
        QCOMPARE(st.Kind, TKind::Sql);
        QCOMPARE(st.Sql, sql);
    }

    void statements_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<TKind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("detail"); // type, value or expression
        QTest::newRow("create variable")
            << "CREATE VARIABLE bvrConnectID integer;" << TKind::CreateVariable << "bvrConnectID"
            << "integer";
        QTest::newRow("create variable sized")
            << "create variable bvrExecDir long varchar" << TKind::CreateVariable << "bvrExecDir"
            << "long varchar";
        QTest::newRow("drop variable") << "drop variable x" << TKind::DropVariable << "x"
                                       << "";
        QTest::newRow("set") << "SET bvrConnectID = 123" << TKind::SetVariable << "bvrConnectID"
                             << "123";
        QTest::newRow("set at") << "set @bvrConnectID = 1 + v" << TKind::SetVariable << "@bvrConnectID"
                                << "1 + sa_variable('v')";
        QTest::newRow("set text") << R"(SET bvrExecDir = 'C:\x09''a')" << TKind::SetVariable << "bvrExecDir"
                                  << "'C:\t''a'";
        QTest::newRow("set option") << "set option allow_write_client_file='On'" << TKind::SetOption
                                    << "allow_write_client_file"
                                    << "On";
        QTest::newRow("set temporary public option")
            << "SET TEMPORARY OPTION PUBLIC.Allow_Write_Client_File = Off" << TKind::SetOption
            << "Allow_Write_Client_File"
            << "Off";
    }
    void statements() {
        QFETCH(QString, statement);
        QFETCH(TKind, kind);
        QFETCH(QString, name);
        QFETCH(QString, detail);
        const TDialectStatement st = TranslateStatement(statement, OnlyV);
        QCOMPARE(st.Kind, kind);
        QCOMPARE(st.Name, name);
        const QString got = kind == TKind::CreateVariable ? st.TypeName
                            : kind == TKind::SetOption    ? st.Value
                                                          : st.Sql;
        QCOMPARE(got, detail);
    }

    void unload_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<bool>("quotes");
        QTest::addColumn<bool>("append");
        QTest::newRow("program's statement")
            << R"(unload from table T into client file '/tmp/out/TTable.txt' delimited by '\x09' quotes off append on)"
            << "SELECT * FROM T"
            << "/tmp/out/TTable.txt"
            << "\t" << false << true;
        QTest::newRow("defaults, owner dropped") << "UNLOAD TABLE DBA.\"my t\" TO 'x.txt'"
                                                 << "SELECT * FROM \"my t\""
                                                 << "x.txt"
                                                 << "," << true << false;
        QTest::newRow("select")
            << "unload select a, (select 1) from t order by a into file 'f' delimited by ';'"
            << "select a, (select 1) from t order by a"
            << "f"
            << ";" << true << false;
    }
    void unload() {
        QFETCH(QString, statement);
        QFETCH(QString, sql);
        QFETCH(QString, file);
        QFETCH(QString, delimiter);
        QFETCH(bool, quotes);
        QFETCH(bool, append);
        const TDialectStatement st = TranslateStatement(statement, {});
        QCOMPARE(st.Kind, TKind::Unload);
        QCOMPARE(st.Sql, sql);
        QCOMPARE(st.File, file);
        QCOMPARE(st.Delimiter, delimiter);
        QCOMPARE(st.Quotes, quotes);
        QCOMPARE(st.Append, append);
        QCOMPARE(st.RowDelimiter, QStringLiteral("\r\n"));
    }

    void syntaxErrors_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("near");
        QTest::newRow("set without value") << "set x ="
                                           << "(end of line)";
        QTest::newRow("set without =") << "set x 1"
                                       << "1";
        QTest::newRow("variable without type") << "create variable x"
                                               << "(end of line)";
        QTest::newRow("unload without file") << "unload from table t"
                                             << "(end of line)";
        QTest::newRow("unload file not a literal") << "unload table t into client file f"
                                                   << "f";
        QTest::newRow("unknown unload option") << "unload table t to 'f' frobnicate on"
                                               << "frobnicate";
        QTest::newRow("on or off") << "unload table t to 'f' append maybe"
                                   << "maybe";
        QTest::newRow("list of three") << "select list(a, b, c) from t"
                                       << ",";
    }
    void syntaxErrors() {
        QFETCH(QString, statement);
        QFETCH(QString, near);
        try {
            TranslateStatement(statement, {});
            QFAIL("no error");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Syntax error near '%1'").arg(near));
        }
    }

    // Each list() inside another is translated one level deeper.
    void nestedListCalls() {
        const auto nested = [](int depth) {
            return QStringLiteral("select ") + QStringLiteral("list(").repeated(depth) + QStringLiteral("x") +
                   QString(depth, QLatin1Char(')'));
        };
        QVERIFY(TranslateStatement(nested(100), {})
                    .Sql.startsWith(QStringLiteral("select sa_list(0, sa_list(0, ")));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TranslateStatement(nested(101), {}));
        try {
            TranslateStatement(nested(10000), {});
            QFAIL("no error");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Too many nested list() calls (at most 100)"));
        }
    }
};

TAMSEL_TEST(DialectTest);
#include "DialectTest.moc"
