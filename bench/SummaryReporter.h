#pragma once

#include "Figures.h"

#include <benchmark/benchmark.h>

#include <QMap>
#include <QString>

// Shows the usual console table and keeps each benchmark's real time per iteration, in
// milliseconds, for the summary a benchmark program prints after its run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions, the median stands for the benchmark.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((run.run_type == Run::RT_Iteration || median) && !run.error_occurred) {
                const double seconds =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                const QString name = QString::fromStdString(run.run_name.str());
                m_milliseconds[name] = seconds * 1000.0;
                for (const auto& [counter, value] : run.counters) {
                    m_counters[name + u'#' + QString::fromStdString(counter)] = value.value;
                }
            }
        }
    }

    double milliseconds(const char* name) const {
        return m_milliseconds.value(QString::fromLatin1(name));
    }

    // A user counter of a benchmark, as its last (or median) run set it.
    double counter(const char* name, const char* counter) const {
        return m_counters.value(QString::fromLatin1(name) + u'#' + QString::fromLatin1(counter));
    }

private:
    QMap<QString, double> m_milliseconds;
    QMap<QString, double> m_counters;
};
