#pragma once

#include <QString>

// How a disc's contents read on screen.
namespace ContentsText {

// A size the way people read it: "1.2 GB", "640 KB", "12 字节".
QString SizeText(qint64 bytes);

// A modification time (seconds since 1970 UTC) as a local date, yyyy-MM-dd.
QString DayText(qint64 mtime);

} // namespace ContentsText
