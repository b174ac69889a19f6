#include "KeyTable.h"

#include <algorithm>

namespace {

using K = TKeyCommand;

TKeyEntry Key(K command, bool inFrame, QKeySequence key, const char* description) {
    return {command, inFrame, std::move(key), QString(), QString::fromUtf8(description)};
}

TKeyEntry Mouse(K command, const char* gesture, const char* description) {
    return {command, false, QKeySequence(), QString::fromUtf8(gesture), QString::fromUtf8(description)};
}

} // namespace

const QList<TKeyEntry>& KeyTable() {
    static const QList<TKeyEntry> table = {
        Key(K::OpenTable, true, QKeySequence(Qt::Key_F5), "Нов прозорец с таблица от БД"),
        Key(K::SelectDb, true, QKeySequence(Qt::Key_F7), "Избор на база данни и вход"),
        Key(K::ApplyFilter, true, QKeySequence(Qt::CTRL | Qt::Key_F3), "Прилага филтъра от полето „Филтър“"),
        Key(K::FilterByField, true, QKeySequence(Qt::ALT | Qt::Key_F3),
            "Добавя към филтъра условие за стойността на текущата клетка"),
        Key(K::ClearFilter, true, QKeySequence(Qt::SHIFT | Qt::Key_F3),
            "Изчиства филтъра и показва всички записи"),
        Key(K::CloseWindow, true, QKeySequence(Qt::Key_F4), "Затваря активния прозорец с таблица"),
        Key(K::Exit, true, QKeySequence(Qt::ALT | Qt::Key_F4), "Изход от програмата"),
        Key(K::OpenChosenTable, false, QKeySequence(Qt::Key_Enter),
            "В списъка „Таблица“: отваря избраната таблица (или я опреснява)"),
        Key(K::ApplyTypedFilter, false, QKeySequence(Qt::Key_Enter),
            "В полето „Филтър“: прилага написания филтър"),
        Key(K::CopyValue, false, QKeySequence(Qt::CTRL | Qt::Key_C),
            "Копира стойността на текущата клетка (с всичките ѝ цифри)"),
        Key(K::Statistics, false, QKeySequence(Qt::CTRL | Qt::Key_U),
            "Сума, брой записи и брой празни стойности на текущата колона"),
        Key(K::StartLinkByKey, false, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Enter),
            "Започва влачене на таблицата за връзка главна – подчинена"),
        Key(K::RecordView, false, QKeySequence(Qt::Key_F6),
            "Показва или скрива изгледа на текущия запис с целите стойности"),
        Mouse(K::SelectRows, "Shift+стрелка, Shift+щракване", "Избира поредица от редове за копиране"),
        Mouse(K::SortBy, "Ctrl+щракване върху заглавие", "Подрежда записите само по тази колона"),
        Mouse(K::SortAlsoBy, "Ctrl+Alt+щракване върху заглавие",
              "Добавя колоната след вече избраните за подреждане"),
        Mouse(K::StartLinkByMouse, "Alt+двойно щракване и влачене",
              "Влачи таблицата (главната) към друг прозорец с таблица"),
        Mouse(K::DropLink, "Пускане върху колона на друга таблица",
              "Свързва като подчинена: колоната = текущото поле на главната"),
        Mouse(K::FilterButton, "Щракване върху бутона до „Филтър“", "Като Alt+F3"),
        Mouse(K::ClearFilterButton, "Shift+щракване върху бутона", "Изчиства филтъра, като Shift+F3"),
        Mouse(K::BreakLinkButton, "Shift+Alt+щракване върху бутона",
              "Изчиства филтъра и прекъсва връзката с главната"),
        Mouse(K::GridMenu, "Десен бутон върху таблицата",
              "Меню: експорт, сума, изглед на записа, копиране на редовете"),
        Mouse(K::TitleMenu, "Десен бутон върху заглавие",
              "Меню: скриване на колоната, „Колони...“ (избор и замразяване)"),
    };
    return table;
}

QKeySequence KeyOf(TKeyCommand command) {
    const QList<TKeyEntry>& table = KeyTable();
    const auto entry = std::find_if(table.begin(), table.end(),
                                    [command](const TKeyEntry& e) { return e.Command == command; });
    return entry != table.end() ? entry->Key : QKeySequence();
}

Qt::Key KeyCodeOf(TKeyCommand command) {
    const QKeySequence key = KeyOf(command);
    return key.isEmpty() ? Qt::Key_unknown : key[0].key();
}

QString GestureText(const TKeyEntry& entry) {
    return entry.Key.isEmpty() ? entry.Gesture : entry.Key.toString(QKeySequence::NativeText);
}

QString FilterLanguageSummary() {
    return QStringLiteral(
        "Филтър: сравнения =, <>, <, >, <=, >=; свързване с AND, OR, NOT и скоби; IS NULL, IS NOT NULL.\n"
        "Числа с точка: PRICE>=12.5. Текстове в единични кавички, вътрешната кавичка се удвоява: "
        "NAME='O''Brien'. Дати 'ДД.ММ.ГГГГ': SOLD>='01.03.2024'.\n"
        "Имената на полета се пишат както са или в квадратни скоби: [Име на поле]=1.\n"
        "* в края на текст значи „започва с“, без разлика между малки и главни букви: NAME='Iv*'; "
        "== сравнява текста буквално, заедно със *.\n"
        "ПОЛЕ= без стойност намира празните (NULL).");
}
