#pragma once

// The behaviour every driver must give the engine's data sets, as one test
// class that runs against a database a fixture makes. A driver registers it
// with its own fixture:
//
//   class TMyFixture : public TConformanceFixture { ... };
//   class MyConformanceTest : public ConformanceTest {
//       Q_OBJECT
//   public:
//       MyConformanceTest() : ConformanceTest(std::make_unique<TMyFixture>()) {}
//   };
//   TAMSEL_TEST(MyConformanceTest);

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class TConformanceFixture {
public:
    virtual ~TConformanceFixture() = default;
    // A fresh, empty database; returns the name that data sets and queries
    // use for it (a registered TDatabase's DatabaseName or an alias).
    virtual QString CreateDatabase() = 0;
    // Statements that create the table `name` (n INTEGER, x DOUBLE
    // PRECISION, s VARCHAR(20)) and fill it with n = 1 .. rows,
    // x = n / 4.0 and s = 'r' followed by n.
    virtual QStringList NumbersTable(const QString& name, int rows) = 0;
    // The declared type of a money column (SQL Anywhere's MONEY is a
    // NUMERIC(19,4); servers without that name take the numeric).
    virtual QString MoneyType() const { return QStringLiteral("NUMERIC(19,4)"); }
    // The declared type of a long text column, which the engine reads as a
    // memo.
    virtual QString MemoType() const { return QStringLiteral("LONG VARCHAR"); }
    // Whether the driver reports a fixed-point column's declared decimals
    // (SQLite's ODBC driver does not), which are its default format.
    virtual bool ReportsScale() const { return true; }
    // A column type, and a filter on a column `doc` of that type, that the
    // engine accepts but that the server refuses to run; whether the server
    // refuses to order by such a column too.
    struct TRefusedFilter {
        QString Type, Filter;
        bool OrderRefused = false;
    };
    virtual TRefusedFilter RefusedFilter() = 0;
    // Runs a statement that makes or fills tables, with a connection of the
    // fixture's own: the engine's connections only read.
    virtual void Execute(const QString& sql) = 0;
    // The bytes of the database file; empty for a server database.
    virtual QByteArray FileBytes() const { return {}; }
    // Whether the engine's connection refuses to attach another file.
    virtual bool RefusesAttach() const { return true; }
    // After the last test.
    virtual void DropDatabase() {}
};

// A filter nested deeper than SQLite's parser takes.
TConformanceFixture::TRefusedFilter SqliteRefusedFilter();

class ConformanceTest : public QObject {
    Q_OBJECT
public:
    explicit ConformanceTest(std::unique_ptr<TConformanceFixture> fixture);
    ~ConformanceTest() override;

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void walkVisitsEveryRecord();
    void indexFieldNamesOrderRows_data();
    void indexFieldNamesOrderRows();
    void filterKeepsMatchingRows_data();
    void filterKeepsMatchingRows();
    void rejectedFilterLeavesRows_data();
    void rejectedFilterLeavesRows();
    void filterRefusedByServerLeavesRows();
    void refusedOrderLeavesRowsAndOrder();
    void filterTakesEffectAtOnce();
    void detailFollowsMaster();
    void detailOfClosedOrDestroyedMasterIsEmpty();
    void masterWalkWithControlsDisabled();
    void circularLinksAreRefused();
    void bookmarkSurvivesWalk();
    void walkMeetsOtherStatements();
    void movesAtTheEdges();
    void movesPastTheEndOfUnreadBlocks_data();
    void movesPastTheEndOfUnreadBlocks();
    void oneRowTableAtItsEdges();
    void endOfOrderReadsBackwards_data();
    void endOfOrderReadsBackwards();
    void equalRowsKeepTheirPlace();
    void refreshKeepsPositionFilterAndOrder();
    void refreshKeepsLink();
    void refreshOfVanishedRowStaysNear();
    void refreshAfterDeletesCountsRows();
    void refreshOfVanishedRowAmongNulls_data();
    void refreshOfVanishedRowAmongNulls();
    void viewOpensOrderedAndRefreshes();
    void refreshAfterDeletesFindsPlaceByKey_data();
    void refreshAfterDeletesFindsPlaceByKey();
    void sessionCloseClosesDataSets();
    void notificationsWaitForEnabledControls();
    void queryOpensAndExecutes();
    void writesAreRefused_data();
    void writesAreRefused();
    void writesPassOnlyWhileAllowed();
    void memoShowsItsFirstLine_data();
    void memoShowsItsFirstLine();
    void uniDirectionalQueryOnlyGoesForward();
    void fieldsGiveTheirTexts();
    void bigTableIsReadInBlocks();
    void fullCacheKeepsTheBlockJustRead();
    void walkOfSomeFieldsReadsTrueValues_data();
    void walkOfSomeFieldsReadsTrueValues();
    void walkOfSomeFieldsKeepsPositionAndState();
    void fixedPointValuesAreExact();
    void fixedPointFiltersMatchExactly_data();
    void fixedPointFiltersMatchExactly();
    void fixedPointLinksMatchExactly_data();
    void fixedPointLinksMatchExactly();
    void fixedPointWalkReadsExactNumbers();
    void walkReadsTheTextsShown();

private:
    // How many rows table nums holds; the texts of table exact and the long
    // texts of table notes, as initTestCase makes them.
    static constexpr int BigRows = 20000;
    static const QList<QStringList> ExactTexts;
    static const QStringList MemoTexts;

    static std::unique_ptr<class TTable> Table(const QString& db, const QString& name,
                                               const QString& order = QString());
    void Exec(const QString& sql);
    QList<int> Ids(class TDataSet& ds, const QString& field = QStringLiteral("id"));

    std::unique_ptr<TConformanceFixture> FFixture;
    QString FDb;
};
