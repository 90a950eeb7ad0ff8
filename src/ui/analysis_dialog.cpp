// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/analysis_dialog.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis/analysis_text.h"
#include "analysis/night_report.h"

namespace npt {

namespace {

constexpr const char* kNothingToAnalyse =
    "Нет записи для анализа: откройте запись кнопкой «Из файла» или прочитайте датчик.";

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QDoubleSpinBox* parameterField(const char* name, double low, double high, double step,
                               const char* suffix, QWidget* parent) {
    auto* field = new QDoubleSpinBox(parent);
    field->setObjectName(name);
    field->setRange(low, high);
    field->setSingleStep(step);
    field->setDecimals(1);
    field->setSuffix(QString::fromUtf8(suffix));
    // A value counts once it is complete (Enter, the arrows, leaving the field), not at every
    // keystroke of "2,5".
    field->setKeyboardTracking(false);
    field->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    field->setAlignment(Qt::AlignRight);
    return field;
}

// A column's header in short lines: a line ends after a comma or before it would pass about
// eleven characters, so that "С приростом ≥ 5,0 мм" takes two lines, not five.
QString headerLines(const std::string& text) {
    constexpr int kLine = 11;
    QString wrapped;
    int lineLength = 0;
    for (const QString& word : q(text).split(' ', Qt::SkipEmptyParts)) {
        if (lineLength > 0) {
            const bool breaks = wrapped.endsWith(',') || lineLength + 1 + word.size() > kLine;
            wrapped += breaks ? '\n' : ' ';
            lineLength = breaks ? 0 : lineLength + 1;
        }
        wrapped += word;
        lineLength += static_cast<int>(word.size());
    }
    return wrapped;
}

int secondsOf(double minutes) {
    return static_cast<int>(std::lround(minutes * 60));
}

}  // namespace

AnalysisDialog::AnalysisDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("AnalysisDialog");
    setWindowTitle(QString::fromUtf8(analysisTitle(NightAnalysis())));
    setModal(false);
    QFont base = font();
    base.setPixelSize(13);
    setFont(base);
    resize(880, 560);

    summary_ = new QLabel(this);
    summary_->setObjectName("Summary");
    QFont bold = base;
    bold.setBold(true);
    bold.setPixelSize(15);
    summary_->setFont(bold);
    summary_->setWordWrap(true);
    verdict_ = new QLabel(this);
    verdict_->setObjectName("Verdict");
    verdict_->setWordWrap(true);
    span_ = new QLabel(this);
    span_->setObjectName("Span");
    facts_ = new QLabel(this);
    facts_->setObjectName("Facts");
    facts_->setTextFormat(Qt::RichText);

    using namespace AnalysisLimits;
    threshold_ = parameterField("Threshold", kThresholdMinMm, kThresholdMaxMm, 0.5, " мм", this);
    minDuration_ = parameterField("MinDuration", kMinDurationMinS / 60.0, kMinDurationMaxS / 60.0,
                                  1, " мин", this);
    mergeGap_ =
        parameterField("MergeGap", kMergeGapMinS / 60.0, kMergeGapMaxS / 60.0, 0.5, " мин", this);
    fullThreshold_ =
        parameterField("FullThreshold", kThresholdMinMm, kFullThresholdMaxMm, 0.5, " мм", this);
    auto* defaults = new QPushButton(QString::fromUtf8("По умолчанию"), this);
    defaults->setObjectName("Defaults");
    changed_ = new QLabel(this);
    changed_->setObjectName("Changed");
    changed_->setWordWrap(true);
    changed_->hide();
    refused_ = new QLabel(this);
    refused_->setObjectName("Refused");
    refused_->setStyleSheet("color: #b00000;");
    refused_->setWordWrap(true);
    refused_->hide();

    auto* parametersBox = new QGroupBox(QString::fromUtf8("Параметры анализа"), this);
    auto* form = new QFormLayout();
    form->addRow(QString::fromUtf8("Порог эпизода (подъём над исходным):"), threshold_);
    form->addRow(QString::fromUtf8("Эпизод не короче:"), minDuration_);
    form->addRow(QString::fromUtf8("Провалы короче этого не делят эпизод:"), mergeGap_);
    form->addRow(QString::fromUtf8("Время с приростом от:"), fullThreshold_);
    auto* boxLayout = new QVBoxLayout(parametersBox);
    boxLayout->addLayout(form);
    auto* defaultsRow = new QHBoxLayout();
    defaultsRow->addWidget(changed_, 1);
    defaultsRow->addWidget(defaults, 0, Qt::AlignTop);
    boxLayout->addLayout(defaultsRow);
    boxLayout->addWidget(refused_);

    table_ = new QTableWidget(0, static_cast<int>(kEpisodeColumnCount), this);
    table_->setObjectName("Episodes");
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The number and the times as narrow as they are; the measures share the rest.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int narrow : {0, 1, 2}) {
        table_->horizontalHeader()->setSectionResizeMode(narrow, QHeaderView::ResizeToContents);
    }
    table_->setAlternatingRowColors(true);

    // What the grey stretches of the chart are: a few short rows, under the episodes.
    leftOutBox_ = new QGroupBox(QString::fromUtf8("Не вошло в анализ"), this);
    leftOutBox_->setObjectName("LeftOutBox");
    leftOut_ = new QTableWidget(0, 4, leftOutBox_);
    leftOut_->setObjectName("LeftOut");
    leftOut_->setHorizontalHeaderLabels({QString::fromUtf8("С"), QString::fromUtf8("До"),
                                         QString::fromUtf8("Длительность"),
                                         QString::fromUtf8("Причина")});
    leftOut_->verticalHeader()->hide();
    leftOut_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    leftOut_->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int narrow : {0, 1, 2}) {
        leftOut_->horizontalHeader()->setSectionResizeMode(narrow, QHeaderView::ResizeToContents);
    }
    leftOut_->horizontalHeader()->setStretchLastSection(true);
    leftOut_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* leftOutLayout = new QVBoxLayout(leftOutBox_);
    leftOutLayout->setContentsMargins(4, 2, 4, 4);
    leftOutLayout->addWidget(leftOut_);
    leftOutBox_->hide();

    auto* statement = new QLabel(QString::fromUtf8(kRigidityStatement), this);
    statement->setObjectName("Statement");
    statement->setWordWrap(true);
    QFont italic = base;
    italic.setItalic(true);
    statement->setFont(italic);

    save_ = new QPushButton(QString::fromUtf8("Сохранить отчёт…"), this);
    save_->setObjectName("SaveReport");
    save_->setToolTip(QString::fromUtf8("Отчёт о ночи на одной странице A4 (PDF)"));
    auto* close = new QPushButton(QString::fromUtf8("Закрыть"), this);
    close->setObjectName("Close");

    auto* top = new QHBoxLayout();
    auto* texts = new QVBoxLayout();
    texts->addWidget(summary_);
    texts->addWidget(verdict_);
    texts->addWidget(span_);
    texts->addWidget(facts_);
    texts->addStretch();
    top->addLayout(texts, 3);
    top->addWidget(parametersBox, 2);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addWidget(leftOutBox_);
    layout->addWidget(statement);
    layout->addLayout(buttons);

    for (QDoubleSpinBox* field : {threshold_, minDuration_, mergeGap_, fullThreshold_}) {
        connect(field, &QDoubleSpinBox::valueChanged, this, [this] { parameterEdited(); });
    }
    connect(defaults, &QPushButton::clicked, this, [this] {
        setParameters(AnalysisParameters());
        parameterEdited();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        if (onSaveReport) {
            onSaveReport();
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

void AnalysisDialog::setParameters(const AnalysisParameters& p) {
    const QSignalBlocker a(threshold_), b(minDuration_), c(mergeGap_), d(fullThreshold_);
    threshold_->setValue(p.threshold_mm);
    minDuration_->setValue(p.min_duration_s / 60.0);
    mergeGap_->setValue(p.merge_gap_s / 60.0);
    // Full tumescence is never below the episode threshold: the field cannot go there.
    fullThreshold_->setMinimum(p.threshold_mm);
    fullThreshold_->setValue(p.full_threshold_mm);
    const std::string defaults = defaultsOfChangedText(p);
    changed_->setText(q("Изменены; " + defaults));
    changed_->setVisible(!defaults.empty());
}

AnalysisParameters AnalysisDialog::parameters() const {
    AnalysisParameters p;
    p.threshold_mm = threshold_->value();
    p.min_duration_s = secondsOf(minDuration_->value());
    p.merge_gap_s = secondsOf(mergeGap_->value());
    p.full_threshold_mm = fullThreshold_->value();
    return p;
}

void AnalysisDialog::parameterEdited() {
    {
        // A threshold raised above full tumescence takes full tumescence up with it.
        const QSignalBlocker blocker(fullThreshold_);
        fullThreshold_->setMinimum(threshold_->value());
    }
    const auto refusal = onParametersChanged ? onParametersChanged(parameters()) : std::nullopt;
    refused_->setText(refusal ? q(*refusal) : QString());
    refused_->setVisible(refusal.has_value());
}

void AnalysisDialog::display(const AnalysisDisplay& shown) {
    setParameters(shown.parameters);
    save_->setEnabled(shown.recording);
    setWindowTitle(QString::fromUtf8(analysisTitle(shown.analysis)));
    showLeftOut(shown.analysis);
    if (!shown.recording) {
        summary_->setText(QString::fromUtf8(kNothingToAnalyse));
        verdict_->clear();
        span_->clear();
        facts_->clear();
        table_->setRowCount(0);
        return;
    }
    const NightAnalysis& a = shown.analysis;
    summary_->setText(q(shown.summaryLine));
    verdict_->setText(q("Качество записи: " + a.quality.verdict));
    // What was recorded, not what the passport planned: a short period fills the memory early.
    const std::string span =
        a.quality.recording() && a.summary.valid_s > 0 ? recordedSpanText(a) : std::string();
    span_->setText(span.empty() ? QString() : q("Исследование: " + span));
    span_->setVisible(!span.empty());
    // The figures two to a row, each label before its value.
    QString facts = "<table cellspacing=\"0\" cellpadding=\"1\">";
    const auto list = summaryFacts(a);
    for (std::size_t i = 0; i < list.size(); ++i) {
        facts += (i % 2 == 0 ? "<tr>" : "") +
                 QString("<td>%1:&nbsp;</td><td><b>%2</b></td>")
                     .arg(q(list[i].first).toHtmlEscaped(), q(list[i].second).toHtmlEscaped());
        facts += i % 2 == 0 ? "<td>&nbsp;&nbsp;&nbsp;&nbsp;</td>" : "</tr>";
    }
    facts_->setText(facts + "</table>");

    // The ninth column names the rise it counts time at, which the parameters set.
    QStringList headers;
    for (const std::string& column : episodeColumns(a.parameters)) {
        headers << headerLines(column);
    }
    table_->setHorizontalHeaderLabels(headers);
    const std::vector<EpisodeRow> rows = episodeRows(a);
    table_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            auto* item = table_->item(static_cast<int>(r), static_cast<int>(c));
            if (item == nullptr) {
                item = new QTableWidgetItem();
                item->setTextAlignment((c == 0 ? Qt::AlignHCenter : Qt::AlignRight) |
                                       Qt::AlignVCenter);
                table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
            }
            item->setText(q(rows[r][c]));
        }
    }
}

void AnalysisDialog::showLeftOut(const NightAnalysis& analysis) {
    const std::vector<LeftOutRow> rows =
        analysable(analysis.quality.usability) ? leftOutRows(analysis) : std::vector<LeftOutRow>();
    leftOut_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string* cells[] = {&rows[r].from, &rows[r].to, &rows[r].duration,
                                      &rows[r].reason};
        for (int c = 0; c < 4; ++c) {
            auto* item = leftOut_->item(static_cast<int>(r), c);
            if (item == nullptr) {
                item = new QTableWidgetItem();
                item->setTextAlignment((c < 3 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
                leftOut_->setItem(static_cast<int>(r), c, item);
            }
            item->setText(q(*cells[c]));
        }
    }
    leftOutBox_->setVisible(!rows.empty());
    if (rows.empty()) {
        return;
    }
    // As tall as its rows, up to four; more scroll.
    const int shownRows = std::min<int>(static_cast<int>(rows.size()), 4);
    leftOut_->setFixedHeight(leftOut_->horizontalHeader()->sizeHint().height() +
                             shownRows * leftOut_->verticalHeader()->defaultSectionSize() +
                             2 * leftOut_->frameWidth());
}

}  // namespace npt
