#pragma once

#include <QString>

// The statement that lists discs with their category and grade names; a
// disc whose category or grade row is missing still lists, with an empty
// name. Callers append " WHERE ..." for a folder, one disc or a find.
inline QString DiscListStatement()
{
    return QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B "
                          "ON A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");
}
