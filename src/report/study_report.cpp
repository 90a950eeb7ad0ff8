// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/study_report.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/analysis_text.h"
#include "analysis/night_facts.h"
#include "analysis/night_report.h"
#include "archive/review_text.h"
#include "chart/axis_scale.h"
#include "measure/time_of_day.h"
#include "plot/night_plot.h"
#include "report/report_look.h"
#include "report/report_pdf.h"

namespace npt {

namespace {

using namespace look;

constexpr double kFiguresWidth = 50;  // the night's figures, beside its chart
constexpr double kFiguresGap = 4;     // between the chart's last tick text and the figures
constexpr double kChartWidth = kContentWidth - kFiguresWidth - kFiguresGap;
constexpr double kHeaderHeight = 5.5;     // the night's line above its chart
constexpr double kTitleAbove = 4;         // room above a plot for the diameter's title
constexpr double kCompactTitleAbove = 5;  // the same over the first compact chart, in a frame
constexpr double kTickAbove = 1.5;        // for half the top tick's text, without the title
constexpr double kTimeTexts = 5;          // under a plot, for the time's tick texts
constexpr double kAxisOnly = 1.5;         // under a plot whose time texts are left to the last
constexpr double kTimeTitleRoom = 3.5;    // under the last chart, for the time's title
constexpr double kLargestPlot = 43;       // what three nights take; fewer do not grow further
constexpr double kSmallestPlot = 22;      // below this the page turns to the compact arrangement
constexpr double kSmallestTickGap = 3.5;  // between the diameter's tick texts
constexpr double kReviewLine = 3.4;
constexpr double kFactLine = 3.7;
constexpr double kFactPoints = 7.5;
constexpr double kSmallestFactPoints = 5.5;  // below this the figures give way to one line
constexpr double kConclusionLines = 22;      // the room to write the conclusion by hand

const QColor kBest(30, 120, 55);
const QColor kBestTint(236, 246, 238);

void shift(std::vector<TimeSpan>& spans, double days) {
    for (TimeSpan& s : spans) {
        s.from += days;
        s.to += days;
    }
}

std::string orDash(const std::optional<std::string>& text) {
    return text && !text->empty() ? *text : "—";
}

std::string studyDates(const StudyReport& r) {
    if (r.nights.empty()) {
        return "—";
    }
    const std::string& first = r.nights.front().row.date;
    const std::string& last = r.nights.back().row.date;
    return first == last ? first : first + " – " + last;
}

double drawTitle(Page& page, const StudyReport& r, double y) {
    page.text(kMarginLeft, y, kContentWidth, 8, "Исследование ночной пенильной тумесценции",
              reportFont(14, true));
    page.text(kMarginLeft, y + 1.2, kContentWidth, 8, q("Отчёт от " + r.created), reportFont(8.5),
              Qt::AlignRight | Qt::AlignTop, kGrey);
    y += 8.5;
    page.line(kMarginLeft, y, kMarginLeft + kContentWidth, y, kInk, 0.35);
    return y + 3;
}

double drawPassport(Page& page, const StudyReport& r, double y) {
    const Labelled cells[][2] = {
        {{"Пациент", r.patientName.empty() ? "—" : r.patientName},
         {"Даты исследования", studyDates(r)}},
        {{"Возраст", r.age ? std::to_string(*r.age) : "—"},
         {"Ночей", std::to_string(r.nights.size())}},
        {{"Номер пациента", orDash(r.patientNumber)},
         {"Врач", r.doctor.empty() ? "________________________" : r.doctor}},
    };
    return drawLabelledRows(page, cells, y) + 2;
}

// How the nights are set out. Up to four nights (fewer with many review changes): each under
// its line, its time texts under it, its figures one a line beside it. More: compact, the
// night's line at the top of its figures, the summary line for the figures, the time texts and
// the diameter's title once.
struct Arrangement {
    bool compact = false;
    std::size_t reviewLines = 4;  // at most a night, the last saying how many more there are
    double plot = 0;              // the height of every night's plot: one diameter scale
};

std::size_t reviewLinesOf(const archive::ArchivedNight& n, const Arrangement& a) {
    return std::min(n.review.size(), a.reviewLines);
}

double reviewHeight(std::size_t lines) {
    return lines == 0 ? 0 : static_cast<double>(lines) * kReviewLine + 1;
}

double gapAfter(const Arrangement& a) {
    return a.compact ? 2 : 3.5;
}

// The row of night i of n without its review lines: from its line (or its plot's title) to the
// foot of its time texts.
double chartRowHeight(const Arrangement& a, std::size_t i, std::size_t n) {
    const bool first = i == 0;
    const bool last = i + 1 == n;
    const double above =
        a.compact ? (first ? kCompactTitleAbove : kTickAbove) : kHeaderHeight + kTitleAbove;
    const double under =
        (!a.compact || last ? kTimeTexts : kAxisOnly) + (last ? kTimeTitleRoom : 0);
    return above + a.plot + under;
}

// The arrangement whose plots fill room best: the first that leaves them kSmallestPlot, with as
// many review lines as it can.
Arrangement arrangementFor(const StudyReport& r, double room) {
    const std::size_t n = r.nights.size();
    Arrangement chosen;
    for (const Arrangement& tried : {Arrangement{false, 4, 0}, Arrangement{false, 2, 0},
                                     Arrangement{false, 1, 0}, Arrangement{true, 1, 0}}) {
        chosen = tried;
        double fixed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            fixed += chartRowHeight(tried, i, n) + reviewHeight(reviewLinesOf(r.nights[i], tried)) +
                     gapAfter(tried);
        }
        chosen.plot = n > 0 ? std::min(kLargestPlot, (room - fixed) / static_cast<double>(n)) : 0;
        if (chosen.plot >= kSmallestPlot) {
            break;
        }
    }
    return chosen;
}

// The diameter's ticks far enough apart for their texts on a low plot.
axis_scale::Scale spacedTicks(axis_scale::Scale mm, double plotHeight) {
    while (mm.step > 0 && plotHeight * mm.step / (mm.max - mm.min) < kSmallestTickGap) {
        mm.step *= 2;
    }
    return mm;
}

// The night's figures as every output names them (night_facts.h), one a line, the label in grey
// and the value in bold at the right; too little room for them all gets the summary line instead.
void drawFigures(Page& page, const NightAnalysis& a, double x, double y, double height) {
    std::vector<std::pair<std::string, std::string>> figures;
    for (const NightFactKind& kind : nightFactKinds()) {
        if (const auto value = nightFact(a, kind)) {
            figures.emplace_back(kind.label, factText(kind.unit, *value));
        }
    }
    const bool whole = a.quality.usability == Usability::Usable;
    const QFont noteFont = reportFont(7, false, true);
    const QString note = q(whole ? std::string() : a.quality.verdict);
    const double noteHeight =
        whole ? 0 : std::min(page.heightOf(kFiguresWidth, note, noteFont), 8.0);
    const double line =
        figures.empty()
            ? kFactLine
            : std::min(kFactLine, (height - noteHeight) / static_cast<double>(figures.size()));
    const double points = kFactPoints * line / kFactLine;
    if (points < kSmallestFactPoints) {
        page.text(x, y, kFiguresWidth, height, q(summaryLine(a)), reportFont(7),
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        return;
    }
    const QFont label = reportFont(points);
    const QFont value = reportFont(points, true);
    for (const auto& [name, text] : figures) {
        page.text(x, y, kFiguresWidth, line, q(name), label, Qt::AlignLeft | Qt::AlignVCenter,
                  kGrey);
        page.text(x, y, kFiguresWidth, line, q(text), value, Qt::AlignRight | Qt::AlignVCenter);
        y += line;
    }
    if (!whole) {
        page.text(x, y + 0.8, kFiguresWidth, noteHeight, note, noteFont,
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, kGrey);
    }
}

struct ChartTexts {
    bool diameterTitle = true;
    bool timeTexts = true;
    bool timeTitle = true;
};

void drawChart(Page& page, const StudyNightChart& chart, const StudyAxes& axes, double top,
               double height, const ChartTexts& texts) {
    const double left = kMarginLeft + 11;  // room for the diameter labels
    const double right = kMarginLeft + kChartWidth - 2;
    plot::Style style = chartStyle(page);
    if (!texts.diameterTitle) {
        style.diameterTitle.clear();
    }
    if (!texts.timeTitle) {
        style.timeTitle.clear();
    }
    if (!texts.timeTexts) {
        style.timeText = [](double) { return std::string(); };
    }
    const bool measured =
        std::any_of(chart.mm.begin(), chart.mm.end(), [](double d) { return !std::isnan(d); });
    plot::NightLayers layers;
    if (measured) {
        layers.curves.push_back({&chart.times, &chart.mm, kCurve});
        layers.episodes = &chart.episodes;
        layers.leftOut = &chart.leftOut;
        layers.baseline = &chart.baseline;
    }
    plot::paintNight(page.painter(),
                     plot::Frame(page.rect(left, top, right - left, height), axes.time,
                                 spacedTicks(axes.mm, height)),
                     style, layers);
    if (!measured) {
        page.text(left, top, right - left, height, "Нет записанных измерений", reportFont(9),
                  Qt::AlignCenter, kGrey);
    }
}

// The best night's mark, a green label with its right end at right.
void drawBestMark(Page& page, double right, double y, double height, double points) {
    const QString mark = "лучшая ночь";
    const QFont font = reportFont(points, true);
    const double width = page.widthOf(mark, font) + 4;
    QPainter& painter = page.painter();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBest);
    painter.drawRoundedRect(page.rect(right - width, y + 0.6, width, height - 1.2), page.px(1),
                            page.px(1));
    page.text(right - width, y, width, height, mark, font, Qt::AlignCenter, Qt::white);
}

// The doctor's review changes of the night, a line each, a change too long for its line ending
// in an ellipsis; the last line says how many more there are when they do not all fit.
double drawReview(Page& page, const archive::ArchivedNight& n, std::size_t lines, double y) {
    if (lines == 0) {
        return y;
    }
    const QFont font = reportFont(7.5);
    const QString label = "Изменения врача: ";
    const double indent = page.widthOf(label, font);
    page.text(kMarginLeft, y, indent, kReviewLine, label, font, Qt::AlignLeft | Qt::AlignVCenter,
              kGrey);
    const std::vector<std::string> texts = archive::reviewTexts(n.review, n.startSeconds);
    const QFontMetricsF metrics(font, page.painter().device());
    for (std::size_t k = 0; k < lines; ++k) {
        std::string text = texts[k];
        if (k + 1 == lines && texts.size() > lines) {
            const auto more = static_cast<long long>(texts.size() - k);
            text = "… и ещё " + std::to_string(more) + " " +
                   pluralRu(more, "изменение", "изменения", "изменений");
        }
        const QString shown =
            metrics.elidedText(q(text), Qt::ElideRight, page.px(kContentWidth - indent));
        page.text(kMarginLeft + indent, y, kContentWidth - indent, kReviewLine, shown, font,
                  Qt::AlignLeft | Qt::AlignVCenter);
        y += kReviewLine;
    }
    return y + 1;
}

// The night's row: its line (number, date, recorded time, the best night's mark), its chart with
// its figures beside it and the doctor's review changes under them. Returns the y under it.
double drawNight(Page& page, const StudyReport& r, std::size_t i, const StudyNightChart& chart,
                 const StudyAxes& axes, const Arrangement& a, double y) {
    const archive::ArchivedNight& n = r.nights[i];
    const std::size_t count = r.nights.size();
    const bool best = r.best == i;
    const bool last = i + 1 == count;
    const std::size_t lines = reviewLinesOf(n, a);
    const double chartRow = chartRowHeight(a, i, count);
    if (best) {
        QPainter& painter = page.painter();
        painter.setPen(QPen(kBest, page.px(0.5)));
        painter.setBrush(kBestTint);
        painter.drawRoundedRect(page.rect(kMarginLeft - 2, y - 1, kContentWidth + 4,
                                          chartRow + reviewHeight(lines) + 1.5),
                                page.px(1.5), page.px(1.5));
    }
    const std::string number = "Ночь " + std::to_string(i + 1) + " · " + n.row.date;
    const std::string span = recordedSpanText(n.analysis);
    const double figuresX = kMarginLeft + kChartWidth + kFiguresGap;
    const double figuresRight = figuresX + kFiguresWidth;
    double plotTop = 0;
    if (a.compact) {
        // The night's line, and its recorded time with the best night's mark, over its figures.
        const double top = y + (i == 0 ? kCompactTitleAbove - kTickAbove : 0);
        page.text(figuresX, top, kFiguresWidth, 3.6, q(number), reportFont(8, true),
                  Qt::AlignLeft | Qt::AlignVCenter);
        page.text(figuresX, top + 3.6, kFiguresWidth, 3.6,
                  q(span + (shortRecording(n.analysis) ? " · короче ночи" : "")), reportFont(7.5),
                  Qt::AlignLeft | Qt::AlignVCenter, kGrey);
        if (best) {
            drawBestMark(page, figuresRight, top + 3.6, 3.8, 7.5);
        }
        const double figuresTop = top + 7.8;
        drawFigures(page, n.analysis, figuresX, figuresTop, y + chartRow - figuresTop);
        plotTop = y + (i == 0 ? kCompactTitleAbove : kTickAbove);
    } else {
        std::string header = number + (span.empty() ? "" : " · " + span);
        const QFont headerFont = reportFont(9.5, true);
        page.text(kMarginLeft, y, kContentWidth, kHeaderHeight, q(header), headerFont,
                  Qt::AlignLeft | Qt::AlignVCenter);
        if (shortRecording(n.analysis)) {
            page.text(kMarginLeft + page.widthOf(q(header), headerFont) + 2, y, 50, kHeaderHeight,
                      "запись короче ночи", reportFont(8.5), Qt::AlignLeft | Qt::AlignVCenter,
                      kGrey);
        }
        if (best) {
            drawBestMark(page, figuresRight, y, kHeaderHeight, 8.5);
        }
        drawFigures(page, n.analysis, figuresX, y + kHeaderHeight + 1,
                    kTitleAbove + a.plot + kTimeTexts - 2);
        plotTop = y + kHeaderHeight + kTitleAbove;
    }
    drawChart(page, chart, axes, plotTop, a.plot, {!a.compact || i == 0, !a.compact || last, last});
    return drawReview(page, n, lines, y + chartRow);
}

std::string legendText(const StudyReport& r) {
    std::string text =
        "Все ночи — на одной шкале времени и диаметра. Оранжевым — эпизоды тумесценции (номера — "
        "по порядку за ночь); пунктиром — базовый уровень, от которого считается прирост; серым — "
        "участки, не вошедшие в анализ";
    if (r.best) {
        text += "; зелёной рамкой — ночь с наибольшим временем в эпизодах";
    }
    return text + ".";
}

// The parameters the nights were analysed with: once when they are the same for all, else for
// each night; with the defaults they replace when they are not the defaults.
std::string parametersLine(const StudyReport& r) {
    const auto withDefaults = [](const AnalysisParameters& p) {
        const std::string defaults = defaultsOfChangedText(p);
        return parametersText(p) + (defaults.empty() ? "" : " (изменены; " + defaults + ")");
    };
    if (r.nights.empty()) {
        return parametersText(AnalysisParameters{});
    }
    const AnalysisParameters& first = r.nights.front().analysis.parameters;
    const bool same = std::all_of(r.nights.begin(), r.nights.end(), [&](const auto& n) {
        return parametersText(n.analysis.parameters) == parametersText(first);
    });
    if (same) {
        return withDefaults(first);
    }
    std::string text;
    for (std::size_t i = 0; i < r.nights.size(); ++i) {
        text += (i == 0 ? "" : "; ") + std::string("ночь ") + std::to_string(i + 1) + ": " +
                withDefaults(r.nights[i].analysis.parameters);
    }
    return text;
}

}  // namespace

StudyNightChart studyNightChart(const archive::ArchivedNight& night) {
    const NightRecording recording(night.samples, night.periodSeconds, night.startSeconds);
    NightReport layers;
    setRecordedCurve(layers, recording);
    StudyNightChart chart;
    chart.times = std::move(layers.times);
    chart.mm = std::move(layers.diameters);
    chart.episodes = episodeSpans(night.analysis, night.startSeconds);
    chart.leftOut = unusableSpans(night.analysis, night.startSeconds);
    chart.baseline = baselineLine(night.analysis, recording);
    // The axis runs from noon to noon: a night begun after midnight lies beside the evening ones
    // instead of a day before them.
    if (night.startSeconds < kSecondsPerDay / 2) {
        for (double& t : chart.times) {
            t += 1;
        }
        for (double& t : chart.baseline.times) {
            t += 1;
        }
        shift(chart.episodes, 1);
        shift(chart.leftOut, 1);
    }
    return chart;
}

StudyAxes studyAxes(const std::vector<StudyNightChart>& charts) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    ValueRange time{kInf, -kInf};
    ValueRange mm{kInf, -kInf};
    for (const StudyNightChart& c : charts) {
        bool measured = false;
        for (double d : c.mm) {
            if (!std::isnan(d)) {
                mm.min = std::min(mm.min, d);
                mm.max = std::max(mm.max, d);
                measured = true;
            }
        }
        if (measured) {
            time.min = std::min(time.min, c.times.front());
            time.max = std::max(time.max, c.times.back());
        }
    }
    if (!(time.min <= time.max)) {
        time = kEmptyTimeRange;
        mm = kEmptyDiameterRange;
    }
    // At least twelve minutes, so that every tick falls on a whole minute as its text is written.
    time.max = std::max(time.max, time.min + 12.0 / (24 * 60));
    const AxisState automatic;
    return {axis_scale::scaleFor(AxisId::Bottom, automatic, time),
            axis_scale::scaleFor(AxisId::Left, automatic, mm)};
}

StudyReport studyReportOf(archive::Archive& archive, archive::Id study) {
    // A study is always a patient's.
    const std::optional<archive::Id> patient = archive.studyPatient(study);
    const std::optional<archive::PatientRecord> record =
        patient ? archive.patient(*patient) : std::nullopt;
    const archive::StudyRow* row = nullptr;
    if (record) {
        for (const archive::StudyRow& s : record->studies) {
            if (s.id == study) {
                row = &s;
            }
        }
    }
    if (row == nullptr) {
        throw archive::ArchiveError(archive::ArchiveError::Kind::Refused,
                                    "В архиве нет исследования № " + std::to_string(study) + ".");
    }
    StudyReport report;
    report.patientName = record->patient.name;
    report.age = record->patient.age;
    report.patientNumber = record->patient.number;
    report.doctor = row->doctor.value_or("");
    report.conclusion = row->conclusion.value_or("");
    for (const archive::NightRow& n : row->nights) {
        report.nights.push_back(archive::archivedNight(archive, n.id));
        const NightSummary& s = report.nights.back().analysis.summary;
        if (s.episodes > 0 &&
            (!report.best || s.total_s > report.nights[*report.best].analysis.summary.total_s)) {
            report.best = report.nights.size() - 1;
        }
    }
    report.created = QDateTime::currentDateTime().toString("dd.MM.yy HH:mm").toStdString();
    return report;
}

void paintStudyReport(QPainter& painter, double pixelsPerMm, const StudyReport& report) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    Page page(painter, pixelsPerMm);
    const Foot foot = footOf(page);

    std::vector<StudyNightChart> charts;
    charts.reserve(report.nights.size());
    for (const archive::ArchivedNight& n : report.nights) {
        charts.push_back(studyNightChart(n));
    }
    const StudyAxes axes = studyAxes(charts);

    double y = kMarginTop;
    y = drawTitle(page, report, y);
    y = drawPassport(page, report, y);

    // Under the nights: the legend, the parameters and the conclusion, which keeps at least its
    // text or the lines to write it by hand.
    const QFont legendFont = reportFont(7.5);
    const QFont parametersFont = reportFont(8.5);
    const QFont conclusionFont = reportFont(9.5);
    const std::string legend = legendText(report);
    const std::string parameters = "Параметры анализа: " + parametersLine(report);
    const double legendHeight = page.heightOf(kContentWidth, q(legend), legendFont);
    const double parametersHeight = page.heightOf(kContentWidth, q(parameters), parametersFont);
    const double conclusionHeight =
        report.conclusion.empty()
            ? kConclusionLines
            : std::min(page.heightOf(kContentWidth, q(report.conclusion), conclusionFont), 40.0);
    // The legend 1,5 mm under the last night, the parameters 1,5 mm under it, the conclusion's
    // title 4,5 mm under them and its room 6 mm under its title.
    const double nightsBottom = foot.statementTop - 4 - conclusionHeight - 6 - 4.5 -
                                parametersHeight - 1.5 - legendHeight - 1.5;

    // The charts share what is left, up to the size three nights take.
    const Arrangement arrangement = arrangementFor(report, nightsBottom - y);
    for (std::size_t i = 0; i < report.nights.size(); ++i) {
        y = drawNight(page, report, i, charts[i], axes, arrangement, y) + gapAfter(arrangement);
    }
    if (report.nights.empty()) {
        y += page.text(kMarginLeft, y, kContentWidth, 6, "В исследовании нет ночей.",
                       reportFont(9, false, true), Qt::AlignLeft | Qt::AlignTop, kGrey) +
             gapAfter(arrangement);
    }

    y += 1.5 - gapAfter(arrangement);
    page.text(kMarginLeft, y, kContentWidth, legendHeight + 1, q(legend), legendFont,
              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, kGrey);
    y += legendHeight + 1.5;
    page.text(kMarginLeft, y, kContentWidth, parametersHeight + 1, q(parameters), parametersFont,
              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
    y += parametersHeight + 4.5;

    page.text(kMarginLeft, y, kContentWidth, 5, "Заключение врача:", reportFont(9, true));
    if (report.conclusion.empty()) {
        for (double line = y + 10; line < foot.statementTop - 3; line += 7) {
            page.line(kMarginLeft, line, kMarginLeft + kContentWidth, line, kRule, 0.15);
        }
    } else {
        page.text(kMarginLeft, y + 6, kContentWidth, foot.statementTop - 4 - (y + 6),
                  q(report.conclusion), conclusionFont,
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
    }
    drawFoot(page, foot, report.doctor);
    painter.restore();
}

void writeStudyReportPdf(const std::string& path, const StudyReport& report) {
    // The patient's name stays out of the file's properties: they show in file managers.
    writePagePdf(path, "Исследование ночной пенильной тумесценции",
                 [&](QPainter& painter, double pixelsPerMm) {
                     paintStudyReport(painter, pixelsPerMm, report);
                 });
}

}  // namespace npt
