#include "engine/DataSources.h"
#include "engine/odbc/OdbcText.h"
#include "support/TestRegistry.h"
#include "support/TestTemp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <vector>

// Data source and driver names from the driver manager's wide functions:
// unixODBC gives the bytes of its ini files one to a character, a driver
// manager that keeps the functions' promise gives UTF-16.
class OdbcNamesTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir{TestTemp() + QStringLiteral("/odbc-names-XXXXXX")};

    // The characters of units in a buffer of room, zero-terminated where
    // there is room for it.
    static std::vector<SQLWCHAR> Buffer(const QString& units, qsizetype room) {
        std::vector<SQLWCHAR> buffer(size_t(room), SQLWCHAR(0xfffd));
        const qsizetype n = std::min(units.size(), room);
        std::copy_n(units.utf16(), n, buffer.begin());
        if (n < room) buffer[size_t(n)] = 0;
        return buffer;
    }
    static QString Bytewise(const QString& text) { return QString::fromLatin1(text.toUtf8()); }

private slots:
    void decoding_data() {
        QTest::addColumn<QString>("units");
        QTest::addColumn<QString>("name");
        const QString cyrillic = QStringLiteral("Склад"), astral = QStringLiteral("Дом 😀");
        QTest::newRow("ASCII") << "TamselPg"
                               << "TamselPg";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("Cyrillic, byte by byte") << Bytewise(cyrillic) << cyrillic;
        QTest::newRow("Cyrillic, UTF-16") << cyrillic << cyrillic;
        QTest::newRow("beyond the BMP, byte by byte") << Bytewise(astral) << astral;
        QTest::newRow("beyond the BMP, UTF-16") << astral << astral;
        // Latin-1 letters in UTF-16 are no UTF-8, nor is a cut sequence.
        QTest::newRow("Latin-1 letters, UTF-16") << "Café"
                                                 << "Café";
        QTest::newRow("cut UTF-8 sequence") << Bytewise(cyrillic).chopped(1) << Bytewise(cyrillic).chopped(1);
    }
    void decoding() {
        QFETCH(QString, units);
        QFETCH(QString, name);
        const std::vector<SQLWCHAR> buffer = Buffer(units, 64);
        QCOMPARE(FromOdbcName(buffer.data(), qsizetype(buffer.size())), name);
    }

    // A driver that fills the buffer to its end leaves no room for the zero.
    void unterminated() {
        const std::vector<SQLWCHAR> buffer = Buffer(QStringLiteral("abcdef"), 4);
        QCOMPARE(FromOdbcName(buffer.data(), qsizetype(buffer.size())), QStringLiteral("abc"));
    }

    void dataSources() {
        QVERIFY(FDir.isValid());
        QFile ini(FDir.filePath(QStringLiteral("odbc.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Склад]\nDriver = SQL Anywhere 11\nUID = склад\n\n"
                                 "[Дом 😀]\nDriver = Драйвер 😀\n\n"
                                 "[plain]\nDriver = SQLite3\n")
                      .toUtf8());
        ini.close();
        QFile inst(FDir.filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(inst.open(QIODevice::WriteOnly));
        inst.close();
        qputenv("ODBCINI", QFile::encodeName(ini.fileName()));
        qputenv("ODBCSYSINI", QFile::encodeName(FDir.path()));

        QStringList listed;
        for (const TOdbcDataSource& source : OdbcDataSources())
            listed << source.Name + QStringLiteral(" / ") + source.Driver;
        QCOMPARE(listed, (QStringList{"Склад / SQL Anywhere 11", "Дом 😀 / Драйвер 😀", "plain / SQLite3"}));
        // A listed name finds its section.
        QCOMPARE(OdbcDataSourceAttribute(QStringLiteral("Склад"), QStringLiteral("UID")),
                 QStringLiteral("склад"));
        QCOMPARE(OdbcDataSourceAttribute(QStringLiteral("Дом 😀"), QStringLiteral("Driver")),
                 QStringLiteral("Драйвер 😀"));
    }
};

TAMSEL_TEST(OdbcNamesTest);
#include "OdbcNamesTest.moc"
