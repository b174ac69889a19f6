#pragma once

#include <QApplication>
#include <concepts>
#include <utility>

// The application object. An exception that escapes an event handler is
// shown in a box (the application's default error report) and the program
// goes on; Qt itself never sees it.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception that nobody caught.
    static void ShowException(const std::exception& error);
    // The same inside a catch block, for any exception.
    static void ShowCurrentException();
};

// A handler of the program where Qt calls it from a user's input (a slot of
// a click, a key or a menu command): what it raises is reported right there,
// as the default error report does. Qt's input dispatch does not clean up
// after an exception that passes through it, so every one would leak what
// Qt's frames hold.
template <typename F> auto Guarded(F handler) {
    return [handler =
                std::move(handler)](auto&&... args) requires std::invocable<const F&, decltype(args)...> {
        try {
            handler(std::forward<decltype(args)>(args)...);
        } catch (...) {
            TApplication::ShowCurrentException();
        }
    };
}

// A member function as a guarded handler.
template <typename T, typename... A> auto Guarded(T* object, void (T::*method)(A...)) {
    return Guarded([object, method](A... args) { (object->*method)(std::forward<A>(args)...); });
}
