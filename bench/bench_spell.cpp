#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"

#include <benchmark/benchmark.h>

// A typical disc name: 20 GBK bytes, Chinese, ASCII and a space or two. The
// schema upgrade computes initials for every disc of a catalog.
static const QString TypicalName = QString::fromUtf8("藏金阁 VCD 2003 合集");

// Baseline: turning the name into GBK, which GetSpell does first.
static void BM_GbkEncode(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(GbkText::Encode(TypicalName));
}
BENCHMARK(BM_GbkEncode);

static void BM_GetSpell(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(GetSpell(TypicalName));
}
BENCHMARK(BM_GetSpell);

static void BM_GetSpellGbkBytes(benchmark::State &state)
{
    const QByteArray gbk = GbkText::Encode(TypicalName);
    for (auto _ : state)
        benchmark::DoNotOptimize(GetSpell(gbk));
}
BENCHMARK(BM_GetSpellGbkBytes);

BENCHMARK_MAIN();
