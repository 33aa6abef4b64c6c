// Writes a catalog of made-up discs:
// gen_catalog <output file> <disc count> [--old | --layout VERSION] [--folders N]
#include "store/engine/Errors.h"
#include "tools/CatalogGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    Schema::Layout layout = Schema::Layout::Build102;
    if (args.removeAll(QStringLiteral("--old")) > 0)
        layout = Schema::Layout::Build100;
    bool ok = true;
    if (const qsizetype at = args.indexOf(QStringLiteral("--layout")); at >= 0) {
        const QString version = args.value(at + 1);
        ok = false;
        for (Schema::Layout each : {Schema::Layout::Build100, Schema::Layout::Build101, Schema::Layout::Build102}) {
            if (version == Schema::VersionOf(each) || QStringLiteral("Build") + version == Schema::VersionOf(each)) {
                layout = each;
                ok = true;
            }
        }
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }
    int folders = CatalogGenerator::FolderCount;
    if (const qsizetype at = args.indexOf(QStringLiteral("--folders")); at >= 0 && ok) {
        folders = args.value(at + 1).toInt(&ok);
        args.remove(at, qMin<qsizetype>(2, args.size() - at));
    }
    bool discsOk = false;
    const int discs = args.size() == 2 ? args.at(1).toInt(&discsOk) : 0;
    if (!ok || !discsOk || discs < 0 || folders < 0) {
        std::fprintf(stderr,
                     "usage: gen_catalog <output file> <disc count> [--old | --layout VERSION] [--folders N]\n"
                     "  --old        write the older Build1.00 layout\n"
                     "  --layout V   write the layout 1.00, 1.01 or 1.02 (the default, current)\n"
                     "  --folders N  N folders below the root (default %d): 20 at the top, 9 years\n"
                     "               under each, any more spread under the years\n",
                     CatalogGenerator::FolderCount);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    try {
        CatalogGenerator::GenerateCatalog(args.at(0), discs, layout, 1, folders);
    } catch (const EAppError &error) {
        std::fprintf(stderr, "gen_catalog: %s\n", error.what());
        return 1;
    }
    std::printf("%d discs in %d folders written to %s in %lld ms\n", discs, folders, qPrintable(args.at(0)),
                timer.elapsed());
    return 0;
}
