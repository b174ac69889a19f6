
#include "common/Application.h"

#include "common/WindowMessage.h"
#include "common/ZorvUtilUnit.h"
#include "engine/Exception.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

namespace {

using TThrower = std::function<void()>;

// A window that fails on every window message it receives.
class TFailingWindow : public QWidget {
public:
    TThrower Fail;

protected:
    bool event(QEvent* event) override {
        if (event->type() == TWindowMessage::Type()) Fail();
        return QWidget::event(event);
    }
};

} // namespace

Q_DECLARE_METATYPE(TThrower)

class ApplicationTest : public QObject {
    Q_OBJECT
private slots:
    // The default error report: every way a handler can be reached, every
    // kind of failure; the box shows the message and the program goes on.
    void defaultErrorReport_data() {
        QTest::addColumn<QString>("delivery");
        QTest::addColumn<TThrower>("thrower");
        QTest::addColumn<QString>("message");
        const TThrower engine = [] {
            throw EDatabaseError(QStringLiteral("Таблицата 'stoki' не съществува"));
        };
        const TThrower standard = [] { throw std::runtime_error("disk full"); };
        const TThrower unknown = [] { throw 42; };
        for (const QString& delivery :
             {QStringLiteral("button click"), QStringLiteral("timer"), QStringLiteral("window message")}) {
            QTest::addRow("%s, engine error", qPrintable(delivery))
                << delivery << engine << QStringLiteral("Таблицата 'stoki' не съществува");
            QTest::addRow("%s, std::exception", qPrintable(delivery)) << delivery << standard << "disk full";
            QTest::addRow("%s, no exception class", qPrintable(delivery))
                << delivery << unknown << "Unknown error";
        }
    }
    void defaultErrorReport() {
        QFETCH(QString, delivery);
        QFETCH(TThrower, thrower);
        QFETCH(QString, message);
        ScriptedMsgBox boxes;
        int reached = 0;
        const auto fail = [&] {
            ++reached;
            thrower();
        };

        // Twice: the first failure leaves everything working for the next.
        if (delivery == QLatin1String("button click")) {
            // A click's handler reports where it is called: the failure never
            // passes through Qt's input dispatch, which would leak what its
            // frames hold (the sanitizer build's leak check sees that).
            QPushButton button(QStringLiteral("Таблица"));
            QObject::connect(&button, &QPushButton::clicked, Guarded(fail));
            button.show();
            for (int i = 0; i < 2; ++i)
                QTest::mouseClick(&button, Qt::LeftButton);
        } else if (delivery == QLatin1String("timer")) {
            QTimer::singleShot(0, fail);
            QTimer::singleShot(0, fail);
            QTRY_COMPARE(reached, 2);
        } else {
            TFailingWindow window;
            window.Fail = fail;
            SendWindowMessage(&window, 2035);
            SendWindowMessage(&window, 2035);
        }

        QCOMPARE(reached, 2);
        QCOMPARE(boxes.Count(), 2);
        for (const auto& box : boxes.Boxes()) {
            QCOMPARE(box.Text, message);
            QCOMPARE(box.Caption, QStringLiteral("Drovik"));
            QCOMPARE(box.Flags, MB_OK | MB_ICONSTOP);
        }
    }
};

TAMSEL_TEST(ApplicationTest);
#include "ApplicationTest.moc"
