// Writes a catalog of made-up discs: gen_catalog <output file> <disc count> [--old]
#include "CatalogGenerator.h"
#include "Errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool old = args.removeAll(QStringLiteral("--old")) > 0;
    bool ok = false;
    const int discs = args.size() == 2 ? args.at(1).toInt(&ok) : 0;
    if (!ok || discs < 0) {
        std::fprintf(stderr, "usage: gen_catalog <output file> <disc count> [--old]\n"
                             "  --old  write the older Build1.00 layout\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    try {
        CatalogGenerator::GenerateCatalog(args.at(0), discs,
                                          old ? Schema::Layout::Build100 : Schema::Layout::Build101);
    } catch (const EAppError &error) {
        std::fprintf(stderr, "gen_catalog: %s\n", error.what());
        return 1;
    }
    std::printf("%d discs written to %s in %lld ms\n", discs, qPrintable(args.at(0)), timer.elapsed());
    return 0;
}
