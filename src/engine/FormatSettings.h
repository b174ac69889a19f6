#pragma once

#include <QChar>
#include <QString>

// The process-wide number, date and time formats that every conversion
// between values and texts uses (grids, filters, export, statistics).
// Format texts use the program's own notation: "DD.MM.YYYY", "HH:MM".
struct TFormatSettings {
    QChar DecimalSeparator = QLatin1Char('.');
    QChar DateSeparator = QLatin1Char('.');
    QChar TimeSeparator = QLatin1Char(':');
    QString ShortDateFormat = QStringLiteral("DD.MM.YYYY");
    QString ShortTimeFormat = QStringLiteral("HH:MM");
    QString LongTimeFormat = QStringLiteral("HH:MM");
    // Off: the formats never follow the system's regional settings.
    bool UpdateFromSystem = false;
};

TFormatSettings& FormatSettings();
