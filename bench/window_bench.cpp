// In-process figures of the real window on the table of a million rows (offscreen platform):
// the time from a lookup's start to the memo showing the new text, and the memory of ten
// thousand lookups in a row.
//
//   somnara-window-bench --tables=DIR [--repetitions=N] [Google Benchmark flags]
#include "application.h"
#include "db_memo.h"
#include "dream_tables.h"
#include "error_box.h"
#include "fonts.h"
#include "process_memory.h"
#include "tmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace somnara;
using namespace somnara::bench;

namespace {

std::filesystem::path tables;
TMain *window = nullptr;

// Tells when a widget has been painted.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *widget) { widget->installEventFilter(this); }
    void reset() { m_painted = false; }
    bool painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted = true;
        return false;
    }

private:
    bool m_painted = false;
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Elapsed
{
    double wall = 0; // seconds
    double cpu = 0;  // seconds of this thread
};

// Runs one lookup the way a click does and measures from the click until the memo's new text
// is painted: the paint pass that delivers the memo's paint event ends before processEvents
// returns.
Elapsed lookUpAndPaint(PaintWatch &memo, const QString &keyword, bool containment)
{
    window->Edit1->setText(keyword);
    window->CheckBox1->setChecked(containment);
    QCoreApplication::processEvents(); // the keyword box repaints before the clock starts
    memo.reset();
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = threadCpuSeconds();
    window->Button1->click();
    while (!memo.painted())
        QCoreApplication::processEvents();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e9, threadCpuSeconds() - cpuStart};
}

QString failure;

void memoAfterLookup(benchmark::State &state)
{
    PaintWatch memo(window->DBMemo1->viewport());
    const QString keywords[] = {QString::fromUtf8(kTopicAtStart), QString::fromUtf8(kTopicInMiddle),
                                QString::fromUtf8(kTopicAtEnd)};
    static size_t next = 0; // goes on across runs, so each lookup changes the text
    QString previous = window->DBMemo1->toPlainText();
    double cpu = 0;
    for (auto _ : state) {
        const Elapsed elapsed = lookUpAndPaint(memo, keywords[next++ % std::size(keywords)], false);
        state.SetIterationTime(elapsed.wall);
        cpu += elapsed.cpu;
        const QString text = window->DBMemo1->toPlainText();
        if (text.isEmpty() || text == previous || !failure.isEmpty())
            state.SkipWithError("the memo does not show the new text");
        previous = text;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
}

// Exact lookups of topics spread over the table, hits and misses, and now and then a
// containment lookup; the memo repaints after each.
void tenThousandLookups(benchmark::State &state)
{
    std::vector<QString> keywords;
    for (const auto &topic : sampleTopics(tableFile(tables, kTableSizes.back()), 1000))
        keywords.push_back(QString::fromStdString(topic));
    PaintWatch memo(window->DBMemo1->viewport());
    for (auto _ : state) {
        size_t atHundred = 0;
        size_t highest = 0;
        for (int i = 1; i <= 10'000; ++i) {
            const QString &topic = keywords[static_cast<size_t>(i) % keywords.size()];
            if (i % 500 == 0)
                lookUpAndPaint(memo, topic.left(1), true);
            else if (i % 7 == 0)
                lookUpAndPaint(memo, topic + QStringLiteral("无"), false);
            else
                lookUpAndPaint(memo, topic, false);
            if (i == 100)
                atHundred = residentKiB();
            if (i >= 100)
                highest = std::max(highest, residentKiB());
        }
        state.counters["rss_at_100_kib"] = static_cast<double>(atHundred);
        state.counters["rss_max_after_kib"] = static_cast<double>(highest);
        state.counters["growth_kib"] = static_cast<double>(highest - atHundred);
        if (!failure.isEmpty())
            state.SkipWithError("a lookup failed");
    }
}

} // namespace

int main(int argc, char **argv)
{
    auto arguments = readBenchArguments(argc, argv, "somnara-window-bench");
    if (!arguments)
        return 2;
    const int repetitions = arguments->repetitions;
    std::vector<char *> &rest = arguments->rest;
    ensureTables(arguments->tables);
    tables = std::filesystem::absolute(arguments->tables);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int restCount = static_cast<int>(rest.size());
    QApplication app(restCount, rest.data());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 2;

    // Its own single-copy marker, so a running program is no obstacle.
    Application::setTitle(QStringLiteral("Somnara大全 benchmark"));
    // A failure must not wait for someone to close its box.
    ErrorBox::setPresenter([](const QString &text) {
        failure = text;
        std::cerr << "somnara-window-bench: " << text.toStdString() << '\n';
    });
    installFontSubstitutes();
    std::filesystem::current_path(tableFolder(tables, kTableSizes.back()));
    auto main = std::make_unique<TMain>();
    window = main.get();
    window->show();
    {
        PaintWatch memo(window->DBMemo1->viewport());
        while (!memo.painted())
            QCoreApplication::processEvents();
    }

    benchmark::RegisterBenchmark("memo_after_lookup/1000000", memoAfterLookup)
        ->UseManualTime()
        ->MinTime(0.2)
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ten_thousand_lookups/1000000", tenThousandLookups)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
