// Writes the template catalog "Blank" from which new catalogs are copied.
#include "store/catalog/Schema.h"
#include "store/engine/Errors.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_template <output file>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    try {
        Schema::CreateCatalog(temporary, Schema::Layout::Build102, true);
    } catch (const EAppError &error) {
        std::fprintf(stderr, "make_template: %s\n", error.what());
        return 1;
    }
    QFile::remove(path);
    if (!QFile::rename(temporary, path)) {
        std::fprintf(stderr, "make_template: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
