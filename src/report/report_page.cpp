// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_page.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/analysis_text.h"
#include "chart/axis_scale.h"
#include "plot/night_plot.h"
#include "report/report_look.h"

namespace npt {

namespace {

using namespace look;

constexpr double kChartHeight = 88;
// Table columns in the order of episodeColumns, in millimetres; they fill the content width.
constexpr double kColumnWidths[] = {7, 15, 15, 24, 19, 15, 20, 18, 25, 20};
constexpr double kRowHeight = 5.2;
constexpr double kTightRowHeight = 4.0;  // when a long night's table must shrink to fit
constexpr double kConclusionRoom = 24;   // at least, for the doctor's conclusion by hand

const QColor kHeaderFill(236, 236, 236);

double drawTitle(Page& page, const NightReport& r, double y) {
    // A recording shorter than a night is not titled as one, and says so beside the title.
    const bool isShort = shortRecording(r.analysis);
    const QString title =
        isShort ? "Тест пенильной тумесценции" : "Ночной тест пенильной тумесценции";
    page.text(kMarginLeft, y, kContentWidth, 8, title, reportFont(14, true));
    if (isShort) {
        page.text(kMarginLeft + page.widthOf(title, reportFont(14, true)) + 2, y + 1.6, 60, 8,
                  "запись короче ночи", reportFont(10), Qt::AlignLeft | Qt::AlignTop, kGrey);
    }
    page.text(kMarginLeft, y + 1.2, kContentWidth, 8, q("Отчёт от " + r.created), reportFont(8.5),
              Qt::AlignRight | Qt::AlignTop, kGrey);
    y += 8.5;
    page.line(kMarginLeft, y, kMarginLeft + kContentWidth, y, kInk, 0.35);
    return y + 3;
}

double drawPassport(Page& page, const NightReport& r, double y) {
    const std::string name = r.nameHidden ? "скрыто (пароль записи не подтверждён)"
                             : r.patientName.empty() ? "—"
                                                     : r.patientName;
    const auto orDash = [](const std::string& text) { return text.empty() ? "—" : text; };
    // The study is what was recorded, from the first sample to the end of the last: a short
    // period fills the memory before the morning. The passport's window ends twelve hours after
    // its start whatever was recorded, so it is shown only when nothing was.
    const std::string recorded =
        r.analysis.summary.valid_s > 0 ? recordedSpanText(r.analysis) : std::string();
    const std::string study = !recorded.empty() ? recorded
                              : r.studyStart.empty() && r.studyEnd.empty()
                                  ? "—"
                                  : "с " + r.studyStart + " до " + r.studyEnd;
    // Label and value, left column then right column, row by row.
    const Labelled cells[][2] = {
        {{"Пациент", name}, {"Дата исследования", orDash(r.studyDate)}},
        {{"Возраст", orDash(r.age)}, {"Исследование", study}},
        {{"Врач", r.doctor.empty() ? "________________________" : r.doctor},
         {"Период измерений", r.period.empty() ? "—" : r.period + " с"}},
        {{nullptr, ""}, {"Датчик запрограммирован", orDash(r.programmed)}},
    };
    y = drawLabelledRows(page, cells, y);
    return y + 2;
}

// The diameter against the time of night with the window's drawing, on the same ticks: the
// episodes shaded and numbered, the stretches left out in grey, the baseline dashed under the
// curve; the legend under it.
double drawChart(Page& page, const NightReport& r, double y) {
    QPainter& p = page.painter();
    const QFont small = reportFont(7.5);
    const double left = kMarginLeft + 11;  // room for the diameter labels
    const double right = kMarginLeft + kContentWidth - 2;
    const double top = y + 5;
    const double bottom = y + kChartHeight - 15;  // room for the time labels and the legend

    double yMin = std::numeric_limits<double>::infinity();
    double yMax = -yMin;
    for (double d : r.diameters) {
        if (!std::isnan(d)) {
            yMin = std::min(yMin, d);
            yMax = std::max(yMax, d);
        }
    }
    if (!(yMin <= yMax)) {
        page.text(kMarginLeft, y, 60, 5, "диаметр, мм", small, Qt::AlignLeft | Qt::AlignTop, kGrey);
        page.text(left, top, right - left, bottom - top, "Нет записанных измерений", reportFont(10),
                  Qt::AlignCenter, kGrey);
        p.setPen(QPen(kRule, page.px(0.2)));
        p.setBrush(Qt::NoBrush);
        p.drawRect(page.rect(left, top, right - left, bottom - top));
        return y + kChartHeight;
    }
    // The ranges as the window fits them to the night, but at least twelve minutes of it, so
    // that every tick falls on a whole minute as its text is written.
    const AxisState automatic;
    const double x0 = r.times.front();
    const double x1 = std::max(r.times.back(), x0 + 12.0 / (24 * 60));
    const axis_scale::Scale time = axis_scale::scaleFor(AxisId::Bottom, automatic, {x0, x1});
    const axis_scale::Scale mm = axis_scale::scaleFor(AxisId::Left, automatic, {yMin, yMax});

    const plot::Style style = chartStyle(page);

    plot::NightLayers layers;
    layers.curves.push_back({&r.times, &r.diameters, kCurve});
    layers.episodes = &r.episodes;
    layers.leftOut = &r.unusable;
    layers.baseline = &r.baseline;
    plot::paintNight(p, plot::Frame(page.rect(left, top, right - left, bottom - top), time, mm),
                     style, layers);

    // The legend in two lines beside the axis title.
    page.text(kMarginLeft, bottom + 5,
              right - kMarginLeft - page.widthOf(style.timeTitle, small) - 4, 8,
              "Оранжевым — эпизоды тумесценции (номера — как в таблице); пунктиром — базовый "
              "уровень, от которого считается прирост; серым — участки, не вошедшие в анализ",
              small, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, kGrey);
    return y + kChartHeight;
}

double drawSummary(Page& page, const NightReport& r, double y) {
    y += page.text(kMarginLeft, y, kContentWidth, 12, q(summaryLine(r.analysis)),
                   reportFont(10.5, true), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
    y += 1.5;
    const auto facts = summaryFacts(r.analysis);
    constexpr int kColumns = 3;
    constexpr double kLine = 4.6;
    const double width = kContentWidth / kColumns;
    for (std::size_t i = 0; i < facts.size(); ++i) {
        const double x = kMarginLeft + static_cast<double>(i % kColumns) * width;
        const double row = y + static_cast<double>(i / kColumns) * kLine;
        const QString label = q(facts[i].first + ": ");
        const double lw = page.widthOf(label, reportFont(8.5));
        page.text(x, row, lw, kLine, label, reportFont(8.5), Qt::AlignLeft | Qt::AlignTop, kGrey);
        page.text(x + lw, row, width - lw, kLine, q(facts[i].second), reportFont(8.5, true));
    }
    return y + std::ceil(facts.size() / static_cast<double>(kColumns)) * kLine + 2;
}

double drawTable(Page& page, const NightReport& r, double y, double bottomLimit) {
    const std::vector<EpisodeRow> rows = episodeRows(r.analysis);
    const Usability usability = r.analysis.quality.usability;
    if (usability != Usability::Usable && usability != Usability::PartlyUsable) {
        return y;  // the summary line has said why there is nothing to list
    }
    if (rows.empty()) {
        return y +
               page.text(kMarginLeft, y, kContentWidth, 6, "Эпизодов тумесценции не найдено.",
                         reportFont(9, false, true), Qt::AlignLeft | Qt::AlignTop, kGrey) +
               2;
    }
    // A long night's table shrinks to fit; what still does not fit is counted below it.
    const double room = bottomLimit - y;
    double rowHeight = kRowHeight;
    if ((rows.size() + 1) * rowHeight > room) {
        rowHeight = std::max(kTightRowHeight, room / static_cast<double>(rows.size() + 1));
    }
    std::size_t shown = rows.size();
    if ((shown + 1) * rowHeight > room) {
        shown = static_cast<std::size_t>(std::max(1.0, std::floor(room / rowHeight) - 2));
    }
    const double points = rowHeight < kRowHeight ? 7 : 8;
    const auto drawRow = [&](const auto& cells, double top, bool header) {
        double x = kMarginLeft;
        for (std::size_t c = 0; c < kEpisodeColumnCount; ++c) {
            const int align = (c == 0 ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter;
            page.text(x + 0.8, top, kColumnWidths[c] - 1.6, rowHeight, q(std::string(cells[c])),
                      reportFont(header ? points - 0.5 : points, header),
                      header ? (Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap) : align);
            x += kColumnWidths[c];
        }
    };
    const double headerHeight = rowHeight * 1.6;
    page.painter().setPen(Qt::NoPen);
    page.painter().setBrush(kHeaderFill);
    page.painter().drawRect(page.rect(kMarginLeft, y, kContentWidth, headerHeight));
    const EpisodeRow header = episodeColumns(r.analysis.parameters);
    {
        const double saved = rowHeight;
        rowHeight = headerHeight;
        drawRow(header, y, true);
        rowHeight = saved;
    }
    y += headerHeight;
    for (std::size_t i = 0; i < shown; ++i) {
        drawRow(rows[i], y, false);
        y += rowHeight;
        page.line(kMarginLeft, y, kMarginLeft + kContentWidth, y, kGrid, 0.15);
    }
    if (shown < rows.size()) {
        const std::size_t rest = rows.size() - shown;
        y += page.text(kMarginLeft, y + 0.5, kContentWidth, 5,
                       q("… и ещё " + std::to_string(rest) + " " +
                         pluralRu(static_cast<long long>(rest), "эпизод", "эпизода", "эпизодов") +
                         ": вся таблица — в окне «" + analysisTitle(r.analysis) +
                         "» и на листе «Анализ» книги .xlsx"),
                       reportFont(8, false, true), Qt::AlignLeft | Qt::AlignTop, kGrey);
    }
    return y + 3;
}

// A label in grey and its text, wrapped to the content width; returns the height taken.
double labelled(Page& page, double y, const std::string& label, const std::string& text,
                bool measureOnly = false) {
    const QString whole = q(label + ": " + text);
    const QFont font = reportFont(8.5);
    const double height = page.heightOf(kContentWidth, whole, font);
    if (!measureOnly) {
        page.text(kMarginLeft, y, kContentWidth, height + 1, whole, font,
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
    }
    return height;
}

}  // namespace

void paintNightReport(QPainter& painter, double pixelsPerMm, const NightReport& report) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    Page page(painter, pixelsPerMm);

    // The statement and the signature close the page; the table stops short of them, leaving
    // room for the notes under it and for the doctor's conclusion written by hand.
    const Foot foot = footOf(page);
    const double statementTop = foot.statementTop;
    const std::string quality = report.analysis.quality.verdict;
    // Parameters that are not the defaults say so, with the defaults they replace.
    const std::string defaults = defaultsOfChangedText(report.analysis.parameters);
    const std::string parameters = parametersText(report.analysis.parameters) +
                                   (defaults.empty() ? "" : " (изменены; " + defaults + ")");
    // What the doctor changed of the analysis, one change after another.
    std::string review;
    for (const std::string& change : report.reviewChanges) {
        review += (review.empty() ? "" : "; ") + change;
    }
    const double reviewHeight =
        review.empty() ? 0 : labelled(page, 0, "Изменения врача", review, true) + 1.5;
    const double notesHeight = labelled(page, 0, "Качество записи", quality, true) +
                               labelled(page, 0, "Параметры анализа", parameters, true) + 1.5 +
                               reviewHeight;

    double y = kMarginTop;
    y = drawTitle(page, report, y);
    y = drawPassport(page, report, y);
    y = drawChart(page, report, y);
    y = drawSummary(page, report, y);
    y = drawTable(page, report, y, statementTop - kConclusionRoom - notesHeight);

    y += labelled(page, y, "Качество записи", quality) + 1.5;
    y += labelled(page, y, "Параметры анализа", parameters) + 1.5;
    if (!review.empty()) {
        y += labelled(page, y, "Изменения врача", review) + 1.5;
    }
    y += 2.5;

    page.text(kMarginLeft, y, kContentWidth, 5, "Заключение врача:", reportFont(9, true));
    for (double line = y + 10; line < statementTop - 3; line += 7) {
        page.line(kMarginLeft, line, kMarginLeft + kContentWidth, line, kRule, 0.15);
    }

    drawFoot(page, foot, report.doctor);
    painter.restore();
}

}  // namespace npt
