#pragma once

// What the program does while one of its statements runs. The windows keep
// painting, every few tens of milliseconds; the user's input is held off
// (no second statement, no window closed, no command run) except Esc and
// the "Прекъсни" button, which cancel the statement. A busy spell that has
// lasted 300 ms shows the wait cursor and a small panel with that button
// over the active window; quicker ones show nothing. A spell ends when the
// program goes back to its event loop; one with a cancel leaves
// "Прекъснато" on the frame's status bar.

#include "engine/StatementWait.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class QAbstractButton;

class TStatementWaiter : public QObject, public TStatementWait {
    Q_OBJECT
public:
    static constexpr qint64 PumpEveryMs = 20;
    static constexpr qint64 ShowAfterMs = 300;

    // Installs itself as the engine's wait.
    explicit TStatementWaiter(QObject* parent = nullptr);
    ~TStatementWaiter() override;

    bool Poll() override;

    // A button of a dialog shown during a walk (a progress's Cancel) that
    // stays pressable while a statement runs, and cancels it.
    static void AllowCancel(QAbstractButton* button);
    // The installed waiter, if any.
    static TStatementWaiter* Instance();

    // While it lives, a walk's own progress dialog shows that the work goes
    // on: show is called where the busy panel would show. Nests.
    class TOwnDisplay {
    public:
        explicit TOwnDisplay(std::function<void()> show);
        ~TOwnDisplay();
        TOwnDisplay(const TOwnDisplay&) = delete;
        TOwnDisplay& operator=(const TOwnDisplay&) = delete;

    private:
        std::function<void()> FPrevious;
    };

    // The busy panel while it shows (for tests), else none.
    QWidget* Panel() const { return FPanel; }

signals:
    // A spell in which the user cancelled has ended.
    void Cancelled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Pump();
    void ShowBusy();
    void EndSpell();
    bool Allowed(QObject* watched) const;

    QElapsedTimer FSpell, FPumped;
    QTimer FEnd; // fires once the program is back in its event loop
    bool FPumping = false;
    bool FCancel = false;    // asked, not yet handed to the driver
    bool FCancelled = false; // some cancel in this spell
    bool FCursor = false;
    bool FShown = false; // the panel or an own display, in this spell
    QPointer<QWidget> FPanel;
    std::function<void()> FOwnDisplay;
};
