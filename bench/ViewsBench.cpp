// The gang programmer's views: a 64 KB image shown in the buffer viewer
// (grid fill plus the table view's reset) and long runs of memo lines.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <chrono>

#include "forms/ProgramVLTForm.h"
#include "forms/qt/MemoView.h"
#include "forms/qt/ViewBinder.h"
#include "platform/Clock.h"
#include "state/BufferViews.h"
#include "state/VltContext.h"

namespace {

void BM_HexViewer64KB(benchmark::State &state) {
    TProgramVLT form;
    VltContext ctx;
    ctx.Form = &form;
    for (size_t i = 0; i < ctx.DataBuffer.size(); ++i)
        ctx.DataBuffer[i] = static_cast<uint8_t>(i * 31 + 7);
    ctx.DataEndIndex = 0xFFFF;
    ViewBinder views([](const ViewBinder::Action &a) { a(); });
    QTableView table;
    table.resize(936, 472);
    views.Bind(form.HexViewer, &table);
    table.show();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ctx.DataBuffer[0] ^= 1; // a new image each round
        FillHexViewer(ctx);
        views.Refresh();
        QCoreApplication::processEvents(); // lays out and paints the reset view
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["rows"] = table.model()->rowCount();
}
BENCHMARK(BM_HexViewer64KB)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Lines arrive 100 at a time between two refreshes, as from a busy station.
void BM_MemoLines(benchmark::State &state) {
    const int lines = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TMemo memo;
        MemoView edit;
        ViewBinder views([](const ViewBinder::Action &a) { a(); });
        views.Bind(memo, &edit);
        for (int i = 0; i < lines; ++i) {
            memo.Add("> 2026-12-07 22:15:03 Device 1 : Channel 1 : Do Main Flash Programming....");
            if (i % 100 == 99)
                views.Refresh();
        }
        views.Refresh();
        benchmark::DoNotOptimize(edit.LineCount());
    }
    state.SetComplexityN(lines);
}
BENCHMARK(BM_MemoLines)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
