#pragma once

#include <QDate>
#include <QString>

#include <optional>

// Dates and prices as people write them in a spreadsheet.
namespace ImportValues {

// 2019-03-01, 2019/3/1, 2019.3.1, 2019年3月1日 (the 日 optional, blanks
// allowed), 2019年3月 and 2019-03 (the first of the month), a bare year 2019
// (1 January); a time of day after the date is ignored. Nothing for any
// other text or a day that does not exist.
std::optional<QDate> ParseDate(const QString &text);

// A price with or without ¥, ￥, 元 or RMB, blanks and thousands
// separators (1,234.50); nothing for any other text or an amount the
// catalog's price column cannot hold.
std::optional<double> ParsePrice(const QString &text);

} // namespace ImportValues
