#include "common/ZorvUtilUnit.h"
#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The store's file lives in <configuration folder>/Halvern/Drovik.conf; each
// test points the user configuration folder at a folder of its own.
class SettingsStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    void UseConfigFolder(const QString& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }
    QString StoreFile() const { return FDir.filePath(QStringLiteral("Halvern/Drovik.conf")); }

private slots:
    void init() {
        QVERIFY(FDir.isValid());
        QDir(FDir.path()).removeRecursively();
        QDir().mkpath(FDir.path());
        UseConfigFolder(FDir.path());
        LastUserDir.clear();
    }
    void cleanupTestCase() {
        UseConfigFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        LastUserDir.clear();
    }

    void firstRunReadsEmptyAndWritesEmpty() {
        QCOMPARE(ReadSetting(QStringLiteral("LastUserDir")), QString());
        LoadLastUserDir();
        QCOMPARE(LastUserDir, QString());
        SaveLastUserDir();
        QSettings stored(StoreFile(), QSettings::IniFormat);
        QVERIFY(stored.contains(QStringLiteral("LastUserDir")));
        QCOMPARE(stored.value(QStringLiteral("LastUserDir")).toString(), QString());
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain folder") << "/home/оператор/Експорт";
        QTest::newRow("root") << "/";
        QTest::newRow("spaces and separators") << "/tmp/a b; c=d, e";
        QTest::newRow("empty") << "";
    }
    void roundTrip() {
        QFETCH(QString, value);
        WriteSetting(QStringLiteral("LastUserDir"), value);
        QCOMPARE(ReadSetting(QStringLiteral("LastUserDir")), value);
    }

    // A run that ends with an empty folder overwrites the one stored before.
    void saveWritesTheFolderBackAlsoWhenEmpty() {
        LastUserDir = QStringLiteral("/srv/export");
        SaveLastUserDir();
        LastUserDir.clear();
        LoadLastUserDir();
        QCOMPARE(LastUserDir, QStringLiteral("/srv/export"));
        LastUserDir.clear();
        SaveLastUserDir();
        QCOMPARE(ReadSetting(QStringLiteral("LastUserDir")), QString());
        LastUserDir = QStringLiteral("/srv/export/");
        SaveLastUserDir();
        QCOMPARE(ReadSetting(QStringLiteral("LastUserDir")), QStringLiteral("/srv/export"));
    }

    void loadedFolderHasNoTrailingSlash_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("trailing slash") << "/home/u/"
                                        << "/home/u";
        QTest::newRow("several") << "/home/u///"
                                 << "/home/u";
        QTest::newRow("root stays") << "/"
                                    << "/";
        QTest::newRow("doubled root") << "//"
                                      << "/";
        QTest::newRow("clean") << "/home/u"
                               << "/home/u";
    }
    void loadedFolderHasNoTrailingSlash() {
        QFETCH(QString, stored);
        WriteSetting(QStringLiteral("LastUserDir"), stored);
        LoadLastUserDir();
        QTEST(LastUserDir, "loaded");
    }

    // The folder cannot be created (its parent is a file) or the store's
    // file is a folder: reads give an empty text, writes are silent.
    void unusableStore_data() {
        QTest::addColumn<QString>("configFolder");
        QTest::addColumn<QString>("blocker");
        QTest::newRow("configuration folder under a file") << "blocker/config"
                                                           << "blocker";
        QTest::newRow("store file is a folder") << "."
                                                << "Halvern/Drovik.conf/";
    }
    void unusableStore() {
        QFETCH(QString, configFolder);
        QFETCH(QString, blocker);
        const QString blockerPath = FDir.filePath(blocker);
        if (blocker.endsWith(QLatin1Char('/'))) {
            QVERIFY(QDir().mkpath(blockerPath));
        } else {
            QFile file(blockerPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        UseConfigFolder(FDir.filePath(configFolder));

        WriteSetting(QStringLiteral("LastUserDir"), QStringLiteral("/lost"));
        QCOMPARE(ReadSetting(QStringLiteral("LastUserDir")), QString());
        LastUserDir = QStringLiteral("/also/lost");
        SaveLastUserDir();
        LoadLastUserDir();
        QCOMPARE(LastUserDir, QString());
    }
};

TAMSEL_TEST(SettingsStoreTest);
#include "SettingsStoreTest.moc"
