// tamsel-demo: makes the demo database of a small shop (an SQLite file) and
// the ODBC data sources that present it as the server database "TamselDemo".
//
//   tamsel-demo [--sales N] [--seed N] FOLDER      database and data sources
//   tamsel-demo --data-sources FOLDER              data sources only
//
// FOLDER receives tamsel-demo.db, odbc.ini (for ODBCINI) and odbcsys/ with
// an empty odbc.ini and odbcinst.ini (for ODBCSYSINI, so that the machine's
// own data sources stay out of the chooser). The same seed and counts give
// the same database, byte for byte in every value.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* DatabaseFile = "tamsel-demo.db";
constexpr int CategoryCount = 12;
constexpr int ProductCount = 800;
constexpr int ClientCount = 2500;
constexpr long DefaultSales = 300000;

// splitmix64: small, fast and the same on every machine.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // lo..hi inclusive.
    long Range(long lo, long hi) { return lo + long(Next() % std::uint64_t(hi - lo + 1)); }
    double Unit() { return double(Next() >> 11) / double(1ULL << 53); }
    bool Chance(double p) { return Unit() < p; }
    template <class T, std::size_t N> const T& Pick(const std::array<T, N>& items) {
        return items[std::size_t(Range(0, long(N) - 1))];
    }
    // make() with probability p, else none; make draws only when it runs.
    template <class F> auto Maybe(double p, F make) -> std::optional<decltype(make())> {
        if (Chance(p)) return make();
        return std::nullopt;
    }

private:
    std::uint64_t FState;
};

class TDatabase {
public:
    explicit TDatabase(const fs::path& file) {
        if (sqlite3_open(file.c_str(), &FDb) != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(FDb);
            sqlite3_close(FDb);
            throw std::runtime_error("cannot create " + file.string() + ": " + message);
        }
    }
    ~TDatabase() { sqlite3_close(FDb); }
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    sqlite3* Handle() const { return FDb; }
    void Exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(message + " in: " + sql);
        }
    }

private:
    sqlite3* FDb = nullptr;
};

// One prepared INSERT, bound by position and run once per row.
class TInsert {
public:
    TInsert(TDatabase& db, const std::string& sql) : FDb(db.Handle()) {
        if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &FStatement, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(FDb)) + " in: " + sql);
    }
    ~TInsert() { sqlite3_finalize(FStatement); }
    TInsert(const TInsert&) = delete;
    TInsert& operator=(const TInsert&) = delete;

    TInsert& Int(long long value) { return Check(sqlite3_bind_int64(FStatement, ++FColumn, value)); }
    TInsert& Real(double value) { return Check(sqlite3_bind_double(FStatement, ++FColumn, value)); }
    TInsert& Text(const std::string& value) {
        return Check(
            sqlite3_bind_text(FStatement, ++FColumn, value.c_str(), int(value.size()), SQLITE_TRANSIENT));
    }
    TInsert& Null() { return Check(sqlite3_bind_null(FStatement, ++FColumn)); }
    // A value or NULL.
    template <class T> TInsert& Maybe(const std::optional<T>& value) {
        if (!value) return Null();
        if constexpr (std::is_floating_point_v<T>)
            return Real(*value);
        else if constexpr (std::is_integral_v<T>)
            return Int(*value);
        else
            return Text(*value);
    }
    void Run() {
        if (sqlite3_step(FStatement) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(FDb));
        sqlite3_reset(FStatement);
        FColumn = 0;
    }

private:
    TInsert& Check(int rc) {
        if (rc != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(FDb));
        return *this;
    }
    sqlite3* FDb;
    sqlite3_stmt* FStatement = nullptr;
    int FColumn = 0;
};

// Dates as days since 1970-01-01 (proleptic Gregorian), written YYYY-MM-DD.
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string DateText(long days) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long doe = days - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp + (mp < 10 ? 3 : -9);
    const long y = yoe + era * 400 + (m <= 2);
    const auto two = [](long n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(y) + "-" + two(m) + "-" + two(d);
}

double Cents(double value) {
    return double(std::llround(value * 100)) / 100;
}

struct TCategory {
    const char* Name;
    const char* Description; // may be null
    std::array<const char*, 6> Goods;
    std::array<const char*, 4> Packs;
    const char* Unit;
    double MinPrice, MaxPrice;
    double Weight; // kg of one piece; 0 when it has none
    double Vat;
};

// clang-format off
const std::array<TCategory, CategoryCount> Categories = {{
    {"Хлебни изделия", "Хляб, питки и закуски от местни пекарни",
     {"Хляб бял", "Хляб пълнозърнест", "Питка с масло", "Козунак", "Баничка със сирене", "Кифла"},
     {"400 г", "500 г", "650 г", "1 кг"}, "бр.", 0.60, 8.50, 0.5, 9},
    {"Млечни продукти", "Мляко, кисело мляко, сирена и масло",
     {"Кисело мляко", "Прясно мляко", "Сирене краве", "Кашкавал", "Масло", "Извара"},
     {"400 г", "500 г", "1 кг", "1 л"}, "бр.", 1.10, 24.00, 0.5, 20},
    {"Месо и колбаси", nullptr,
     {"Луканка", "Суджук", "Кренвирши", "Шунка", "Пилешко филе", "Кайма смесена"},
     {"200 г", "300 г", "500 г", "1 кг"}, "кг", 4.50, 38.00, 0.5, 20},
    {"Плодове и зеленчуци", "Пресни плодове и зеленчуци, по тегло",
     {"Домати", "Краставици", "Ябълки", "Картофи", "Лук", "Череши"},
     {"на кг", "каса", "мрежа 2 кг", "опаковка"}, "кг", 0.80, 12.00, 1.0, 20},
    {"Напитки", "Вода, безалкохолни, бира и вино",
     {"Минерална вода", "Бира светла", "Вино червено", "Сок от ябълки", "Лимонада", "Айрян"},
     {"0,5 л", "1 л", "1,5 л", "0,75 л"}, "бр.", 0.70, 32.00, 1.0, 20},
    {"Сладкарски изделия", nullptr,
     {"Шоколад млечен", "Бисквити", "Вафли", "Локум", "Халва тахан", "Бонбони"},
     {"100 г", "200 г", "250 г", "500 г"}, "бр.", 0.90, 14.00, 0.25, 20},
    {"Консерви", "Зеленчукови и месни консерви, лютеница",
     {"Лютеница", "Кьопоолу", "Зелен фасул", "Грах", "Туршия", "Боб в доматен сос"},
     {"260 г", "360 г", "520 г", "680 г"}, "бр.", 1.50, 9.80, 0.5, 20},
    {"Битова химия", "Перилни и почистващи препарати",
     {"Прах за пране", "Омекотител", "Препарат за съдове", "Белина", "Течен сапун", "Препарат за стъкла"},
     {"500 мл", "1 л", "2 л", "3 кг"}, "бр.", 1.80, 29.90, 1.0, 20},
    {"Козметика", nullptr,
     {"Шампоан", "Паста за зъби", "Крем за ръце", "Душ гел", "Розова вода", "Дезодорант"},
     {"75 мл", "150 мл", "250 мл", "400 мл"}, "бр.", 2.20, 26.00, 0.25, 20},
    {"Домакински стоки", "Съдове, прибори и дребни домакински вещи",
     {"Тенджера", "Тиган", "Чаша", "Кърпа кухненска", "Торба за боклук", "Фолио алуминиево"},
     {"малък", "среден", "голям", "комплект"}, "бр.", 1.20, 89.00, 0.0, 20},
    {"Канцеларски материали", "Тетрадки, химикалки и хартия",
     {"Тетрадка", "Химикалка", "Молив", "Хартия А4", "Папка", "Лепило сухо"},
     {"бр.", "пакет 5", "пакет 10", "кутия"}, "бр.", 0.40, 18.50, 0.0, 20},
    {"Играчки", nullptr,
     {"Пъзел", "Кукла", "Количка", "Топка", "Конструктор", "Плюшено мече"},
     {"малък", "среден", "голям", "комплект"}, "бр.", 3.50, 79.00, 0.0, 20},
}};
// clang-format on

const std::array<const char*, 10> Brands = {"Родопа", "Балкан", "Витоша", "Странджа", "Тракия",
                                            "Пирин",  "Дунав",  "Искър",  "Камчия",   "Мизия"};
const std::array<const char*, 16> MaleNames = {
    "Иван",  "Георги", "Димитър",  "Петър",  "Николай", "Христо", "Стоян",  "Тодор",
    "Васил", "Атанас", "Красимир", "Йордан", "Любомир", "Пламен", "Цветан", "Борислав"};
const std::array<const char*, 16> FemaleNames = {
    "Мария",   "Елена",  "Йорданка", "Гергана", "Десислава", "Радка",   "Цветелина", "Виолета",
    "Надежда", "Милена", "Росица",   "Теодора", "Боряна",    "Снежана", "Калина",    "Веселина"};
// Family names in their male form; the female form adds "а".
const std::array<const char*, 16> FamilyNames = {
    "Петров",  "Иванов",   "Георгиев", "Димитров", "Николов", "Стоянов", "Христов",  "Тодоров",
    "Василев", "Атанасов", "Колев",    "Маринов",  "Илиев",   "Ангелов", "Йорданов", "Попов"};
const std::array<const char*, 6> CompanyKinds = {"ЕООД", "ООД", "ЕТ", "АД", "ЕАД", "СД"};
const std::array<const char*, 6> CompanyWords = {"Търговия", "Снабдяване", "Ресторант",
                                                 "Хотел",    "Консулт",    "Транс"};
const std::array<const char*, 14> Cities = {
    "София",  "Пловдив", "Варна", "Бургас", "Русе",    "Стара Загора",   "Плевен",
    "Сливен", "Добрич",  "Шумен", "Перник", "Хасково", "Велико Търново", "Благоевград"};
const std::array<const char*, 10> Streets = {
    "Васил Левски", "Христо Ботев", "Цар Симеон", "Граф Игнатиев", "Александър Стамболийски",
    "Шипка",        "Опълченска",   "Раковски",   "Иван Вазов",    "Гурко"};
const std::array<const char*, 3> Payments = {"В брой", "Карта", "Банков превод"};
const std::array<const char*, 6> SaleNotes = {"Доставка до адрес",
                                              "Фактура по имейл",
                                              "Рекламация – подменена стока",
                                              "Плащане при доставка",
                                              "Клиентът ще дойде утре\tза остатъка",
                                              "Бележка:\r\nвтори ред"};
const std::array<const char*, 4> ProductNotes = {"Сезонна стока", "Ограничено количество",
                                                 "Внос „по поръчка“", "Спряна от производство"};

// Latin letters for the e-mail addresses.
std::string Latin(const std::string& cyrillic) {
    static const std::array<const char*, 32> lower = {
        "a", "b", "v", "g", "d", "e", "zh", "z",  "i",  "y",   "k", "l", "m", "n", "o",  "p",
        "r", "s", "t", "u", "f", "h", "ts", "ch", "sh", "sht", "a", "y", "",  "e", "yu", "ya"};
    std::string out;
    for (std::size_t i = 0; i < cyrillic.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(cyrillic[i]);
        if (c < 0x80) {
            if (c != ' ') out += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
            continue;
        }
        // Two-byte UTF-8 of U+0410..U+044F.
        const unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(cyrillic[++i]) & 0x3Fu);
        if (code >= 0x410 && code <= 0x44F) out += lower[(code - 0x410) % 32];
    }
    return out;
}

// EAN-13 with the Bulgarian prefix 380 and its check digit.
std::string BarCode(TRandom& random) {
    std::string code = "380";
    for (int i = 0; i < 9; ++i)
        code += char('0' + random.Range(0, 9));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (code[std::size_t(i)] - '0') * (i % 2 ? 3 : 1);
    code += char('0' + (10 - sum % 10) % 10);
    return code;
}

std::string Digits(TRandom& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += char('0' + random.Range(0, 9));
    return text;
}

struct TProduct {
    double Price;
    double Weight; // 0: none
};

void CreateSchema(TDatabase& db) {
    db.Exec("CREATE TABLE kategorii ("
            " id INTEGER PRIMARY KEY,"
            " ime VARCHAR(40) NOT NULL,"
            " opisanie VARCHAR(200))");
    db.Exec("CREATE TABLE stoki ("
            " id INTEGER PRIMARY KEY,"
            " barkod VARCHAR(13) NOT NULL,"
            " ime VARCHAR(60) NOT NULL,"
            " kategoria_id INTEGER NOT NULL REFERENCES kategorii(id),"
            " mjarka VARCHAR(10) NOT NULL,"
            " cena MONEY NOT NULL,"
            " dds DECIMAL(10,2) NOT NULL,"
            " teglo FLOAT,"
            " nalichnost INTEGER NOT NULL,"
            " data_dostavka DATE,"
            " belejka VARCHAR(200))");
    db.Exec("CREATE TABLE klienti ("
            " id INTEGER PRIMARY KEY,"
            " ime VARCHAR(60) NOT NULL,"
            " grad VARCHAR(40) NOT NULL,"
            " adres VARCHAR(80),"
            " telefon VARCHAR(20),"
            " e_mail VARCHAR(60),"
            " bulstat VARCHAR(13),"
            " otstapka DECIMAL(10,2) NOT NULL,"
            " kredit_limit MONEY,"
            " data_registracia DATE NOT NULL)");
    db.Exec("CREATE TABLE prodazhbi ("
            " id INTEGER PRIMARY KEY,"
            " data DATE NOT NULL,"
            " klient_id INTEGER REFERENCES klienti(id),"
            " stoka_id INTEGER NOT NULL REFERENCES stoki(id),"
            " kolichestvo INTEGER NOT NULL,"
            " edinichna_cena MONEY NOT NULL,"
            " otstapka DECIMAL(10,2),"
            " suma DECIMAL(10,2) NOT NULL,"
            " teglo FLOAT,"
            " plashtane VARCHAR(20) NOT NULL,"
            " belejka VARCHAR(100))");
}

// Every value that draws from the generator is drawn into its own variable,
// in a fixed order, so that each compiler makes the same database.

void FillCategories(TDatabase& db) {
    TInsert insert(db, "INSERT INTO kategorii VALUES (?, ?, ?)");
    for (int i = 0; i < CategoryCount; ++i) {
        const TCategory& category = Categories[std::size_t(i)];
        const auto description =
            category.Description ? std::optional<std::string>(category.Description) : std::nullopt;
        insert.Int(i + 1).Text(category.Name).Maybe(description).Run();
    }
}

std::vector<TProduct> FillProducts(TDatabase& db, TRandom& random) {
    TInsert insert(db, "INSERT INTO stoki VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    std::vector<TProduct> products;
    const long firstDelivery = DaysFromCivil(2024, 1, 1);
    for (int id = 1; id <= ProductCount; ++id) {
        const int categoryIndex = (id - 1) % CategoryCount;
        const TCategory& category = Categories[std::size_t(categoryIndex)];
        const std::string goods = random.Pick(category.Goods);
        const std::string brand = random.Pick(Brands);
        const std::string pack = random.Pick(category.Packs);
        const std::string barCode = BarCode(random);
        const double price =
            Cents(category.MinPrice + (category.MaxPrice - category.MinPrice) * random.Unit());
        const double share = random.Unit();
        const double weight = category.Weight > 0
                                  ? double(std::llround(category.Weight * (0.2 + 1.6 * share) * 1000)) / 1000
                                  : 0;
        const long stock = random.Chance(0.05) ? 0 : random.Range(1, 400);
        const auto delivered =
            random.Maybe(0.85, [&] { return DateText(firstDelivery + random.Range(0, 700)); });
        const auto note = random.Maybe(0.08, [&] { return std::string(random.Pick(ProductNotes)); });

        insert.Int(id).Text(barCode).Text(goods + " " + brand + " " + pack).Int(categoryIndex + 1);
        insert.Text(category.Unit).Real(price).Real(category.Vat);
        insert.Maybe(weight > 0 ? std::optional(weight) : std::nullopt)
            .Int(stock)
            .Maybe(delivered)
            .Maybe(note)
            .Run();
        products.push_back({price, weight});
    }
    return products;
}

std::vector<double> FillClients(TDatabase& db, TRandom& random) {
    TInsert insert(db, "INSERT INTO klienti VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    std::vector<double> discounts;
    const std::array<double, 6> discountSteps = {0, 0, 0, 2.5, 5, 10};
    const long firstRegistration = DaysFromCivil(2015, 1, 1);
    for (int id = 1; id <= ClientCount; ++id) {
        const bool company = random.Chance(0.25);
        std::string name, mail;
        if (company) {
            const std::string word = random.Pick(CompanyWords);
            const std::string family = random.Pick(FamilyNames);
            const std::string kind = random.Pick(CompanyKinds);
            name = word + " " + family + " " + kind;
            mail = "office@" + Latin(family) + std::to_string(id) + ".bg";
        } else {
            const bool female = random.Chance(0.5);
            const std::string first = female ? random.Pick(FemaleNames) : random.Pick(MaleNames);
            const std::string family = std::string(random.Pick(FamilyNames)) + (female ? "а" : "");
            name = first + " " + family;
            mail = Latin(first) + "." + Latin(family) + std::to_string(id % 100) + "@example.bg";
        }
        const double discount = random.Pick(discountSteps);
        const std::string city = random.Pick(Cities);
        const auto address = random.Maybe(0.9, [&] {
            const std::string street = random.Pick(Streets);
            return "ул. „" + street + "“ " + std::to_string(random.Range(1, 120));
        });
        std::string phone = "08" + std::to_string(random.Range(7, 9));
        phone += Digits(random, 1) + " ";
        phone += Digits(random, 3) + " ";
        phone += Digits(random, 3);
        const auto shownMail = random.Maybe(0.7, [&] { return mail; });
        const auto vatNumber = company ? std::optional("BG" + Digits(random, 9)) : std::nullopt;
        const double creditLimit = company ? double(random.Range(1, 50)) * 500 : 0;
        const std::string registered = DateText(firstRegistration + random.Range(0, 2900));

        insert.Int(id).Text(name).Text(city).Maybe(address).Text(phone).Maybe(shownMail).Maybe(vatNumber);
        insert.Real(discount)
            .Maybe(company ? std::optional(creditLimit) : std::nullopt)
            .Text(registered)
            .Run();
        discounts.push_back(discount);
    }
    return discounts;
}

void FillSales(TDatabase& db, TRandom& random, long sales, const std::vector<TProduct>& products,
               const std::vector<double>& discounts) {
    TInsert insert(db, "INSERT INTO prodazhbi VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const long first = DaysFromCivil(2023, 1, 1);
    const long span = DaysFromCivil(2025, 12, 31) - first + 1;
    for (long id = 1; id <= sales; ++id) {
        // Dates rise with the number, as a till writes them.
        const long day = first + long((long double)(id - 1) * span / sales);
        const bool walkIn = random.Chance(0.12);
        // A few regulars buy much more often than the rest.
        const long client = random.Chance(0.3) ? random.Range(1, 40) : random.Range(1, ClientCount);
        const long product = random.Range(1, ProductCount);
        const TProduct& goods = products[std::size_t(product - 1)];
        const long quantity = random.Chance(0.7) ? random.Range(1, 3) : random.Range(4, 60);
        const double discount = walkIn ? 0 : discounts[std::size_t(client - 1)];
        const double total = Cents(goods.Price * double(quantity) * (100 - discount) / 100);
        const double weight = double(std::llround(goods.Weight * double(quantity) * 1000)) / 1000;
        const std::string payment = walkIn ? Payments[0] : random.Pick(Payments);
        const auto note = random.Maybe(0.03, [&] { return std::string(random.Pick(SaleNotes)); });

        insert.Int(id).Text(DateText(day)).Maybe(walkIn ? std::nullopt : std::optional(client));
        insert.Int(product)
            .Int(quantity)
            .Real(goods.Price)
            .Maybe(discount > 0 ? std::optional(discount) : std::nullopt);
        insert.Real(total)
            .Maybe(weight > 0 ? std::optional(weight) : std::nullopt)
            .Text(payment)
            .Maybe(note)
            .Run();
    }
}

void MakeDatabase(const fs::path& file, long sales, std::uint64_t seed) {
    // Made beside the target and renamed into place, so that an interrupted
    // run never leaves a half-filled database behind.
    const fs::path partial = fs::path(file).concat(".partial");
    fs::remove(partial);
    {
        TDatabase db(partial);
        db.Exec("PRAGMA journal_mode = OFF");
        db.Exec("PRAGMA synchronous = OFF");
        db.Exec("BEGIN");
        CreateSchema(db);
        TRandom random(seed);
        FillCategories(db);
        const auto products = FillProducts(db, random);
        const auto discounts = FillClients(db, random);
        FillSales(db, random, sales, products, discounts);
        db.Exec("CREATE INDEX stoki_kategoria ON stoki(kategoria_id)");
        db.Exec("CREATE INDEX prodazhbi_klient ON prodazhbi(klient_id)");
        db.Exec("CREATE INDEX prodazhbi_stoka ON prodazhbi(stoka_id)");
        db.Exec("CREATE INDEX prodazhbi_data ON prodazhbi(data)");
        db.Exec("CREATE VIEW golemi_prodazhbi AS SELECT * FROM prodazhbi WHERE suma >= 1000");
        db.Exec("COMMIT");
        db.Exec("ANALYZE");
    }
    fs::rename(partial, file);
}

void WriteFile(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

void WriteDataSources(const fs::path& folder) {
    const fs::path database = fs::absolute(folder / DatabaseFile).lexically_normal();
    WriteFile(folder / "odbc.ini", "[TamselDemo]\n"
                                   "Driver = SQL Anywhere 11\n"
                                   "Description = Tamsel demo shop\n"
                                   "EmbeddedDatabase = " +
                                       database.string() +
                                       "\n"
                                       "UID = dba\n"
                                       "PWD = sql\n");
    fs::create_directories(folder / "odbcsys");
    WriteFile(folder / "odbcsys" / "odbc.ini", "");
    WriteFile(folder / "odbcsys" / "odbcinst.ini", "");
}

[[noreturn]] void Usage() {
    std::fprintf(stderr, "usage: tamsel-demo [--sales N] [--seed N] FOLDER\n"
                         "       tamsel-demo --data-sources FOLDER\n");
    std::exit(2);
}

long Number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 0) Usage();
    return value;
}

} // namespace

int main(int argc, char** argv) {
    long sales = DefaultSales;
    std::uint64_t seed = 20240611;
    bool dataSourcesOnly = false;
    fs::path folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sales" && i + 1 < argc)
            sales = Number(argv[++i]);
        else if (arg == "--seed" && i + 1 < argc)
            seed = std::uint64_t(Number(argv[++i]));
        else if (arg == "--data-sources")
            dataSourcesOnly = true;
        else if (folder.empty() && !arg.empty() && arg[0] != '-')
            folder = arg;
        else
            Usage();
    }
    if (folder.empty()) Usage();
    try {
        fs::create_directories(folder);
        if (!dataSourcesOnly) MakeDatabase(folder / DatabaseFile, sales, seed);
        WriteDataSources(folder);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamsel-demo: %s\n", error.what());
        return 1;
    }
    return 0;
}
