// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/analysis_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimeEdit>
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
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    buildReview();

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
    layout->addWidget(reviewBox_);
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
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { rowPicked(); });
}

void AnalysisDialog::buildReview() {
    reviewBox_ = new QGroupBox(QString::fromUtf8("Пересмотр врачом"), this);
    reviewBox_->setObjectName("ReviewBox");
    const auto button = [this](const char* name, const char* caption, const char* hint) {
        auto* b = new QPushButton(QString::fromUtf8(caption), reviewBox_);
        b->setObjectName(name);
        b->setToolTip(QString::fromUtf8(hint));
        return b;
    };
    reject_ = button("Reject", "Артефакт", "Выбранный эпизод — артефакт, не эрекция: не учитывать");
    accept_ = button("Accept", "Принять", "Учитывать выбранный эпизод снова");
    move_ = button("Move", "Границы…", "Задать начало и конец выбранного эпизода");
    add_ =
        button("Add", "Добавить…",
               "Добавить эпизод вручную: участок, который сейчас виден на графике, или заданный");
    remove_ = button("Remove", "Удалить", "Удалить эпизод, добавленный вручную");
    window_ = button("Window", "Окно анализа…",
                     "Анализировать запись от выключения света до снятия датчика");
    reviewList_ = new QLabel(reviewBox_);
    reviewList_->setObjectName("ReviewList");
    reviewList_->setWordWrap(true);
    reviewRefused_ = new QLabel(reviewBox_);
    reviewRefused_->setObjectName("ReviewRefused");
    reviewRefused_->setStyleSheet("color: #b00000;");
    reviewRefused_->setWordWrap(true);
    reviewRefused_->hide();
    auto* row = new QHBoxLayout();
    for (QPushButton* b : {reject_, accept_, move_, add_, remove_, window_}) {
        row->addWidget(b);
    }
    row->addStretch();
    auto* box = new QVBoxLayout(reviewBox_);
    box->setContentsMargins(6, 2, 6, 4);
    box->addLayout(row);
    box->addWidget(reviewRefused_);
    box->addWidget(reviewList_);
    connect(reject_, &QPushButton::clicked, this, [this] { review(ReviewKind::Reject); });
    connect(accept_, &QPushButton::clicked, this, [this] { review(ReviewKind::Accept); });
    connect(move_, &QPushButton::clicked, this, [this] { review(ReviewKind::Move); });
    connect(add_, &QPushButton::clicked, this, [this] { review(ReviewKind::Add); });
    connect(remove_, &QPushButton::clicked, this, [this] { review(ReviewKind::Remove); });
    connect(window_, &QPushButton::clicked, this, [this] { review(ReviewKind::Window); });
}

std::optional<AnalysisDialog::Picked> AnalysisDialog::picked() const {
    const auto selected = table_->selectionModel() != nullptr
                              ? table_->selectionModel()->selectedRows()
                              : QModelIndexList();
    if (selected.isEmpty() || selected.front().row() >= static_cast<int>(rows_.size())) {
        return std::nullopt;
    }
    return rows_[static_cast<std::size_t>(selected.front().row())];
}

void AnalysisDialog::rowPicked() {
    const auto p = picked();
    reject_->setEnabled(p && !p->rejected);
    accept_->setEnabled(p && p->rejected);
    move_->setEnabled(p && !p->rejected);
    remove_->setEnabled(p && p->episode.origin == EpisodeOrigin::Added);
    if (onEpisodeSelected) {
        onEpisodeSelected(p ? std::optional<std::pair<int, int>>(
                                  {p->episode.found_start_s, p->episode.found_end_s})
                            : std::nullopt);
    }
}

namespace {
// Seconds from the first sample as a time of night, and back (the stretch never runs past a
// day from the first sample).
QTime timeOfNight(int startSeconds, int offset) {
    return QTime(0, 0).addSecs((startSeconds + offset) % 86400);
}

int offsetOf(int startSeconds, const QTime& time) {
    return ((QTime(0, 0).secsTo(time) - startSeconds) % 86400 + 86400) % 86400;
}
}  // namespace

std::optional<std::pair<int, int>> AnalysisDialog::stretchFromDoctor(const QString& title,
                                                                     std::pair<int, int> initial) {
    if (askStretch) {
        return askStretch(title, initial);
    }
    const int start = shownAnalysis_.startSeconds;
    QDialog dialog(this);
    dialog.setWindowTitle(title);
    auto* from = new QTimeEdit(timeOfNight(start, initial.first), &dialog);
    auto* to = new QTimeEdit(timeOfNight(start, initial.second), &dialog);
    for (QTimeEdit* edit : {from, to}) {
        edit->setDisplayFormat("HH:mm");
    }
    from->setObjectName("From");
    to->setObjectName("To");
    auto* form = new QFormLayout();
    form->addRow(QString::fromUtf8("С"), from);
    form->addRow(QString::fromUtf8("До"), to);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return std::pair{offsetOf(start, from->time()), offsetOf(start, to->time())};
}

void AnalysisDialog::review(ReviewKind kind) {
    if (!onReview) {
        return;
    }
    const auto p = picked();
    ReviewStep step;
    step.kind = kind;
    if (p) {
        step.episodeStart_s = p->episode.found_start_s;
        step.episodeEnd_s = p->episode.found_end_s;
    }
    if (kind == ReviewKind::Move || kind == ReviewKind::Add || kind == ReviewKind::Window) {
        std::pair<int, int> initial{0, shownAnalysis_.summary.valid_s};
        QString title = QString::fromUtf8("Окно анализа: от выключения света до снятия датчика");
        if (kind == ReviewKind::Move && p) {
            initial = {p->episode.start_s, p->episode.end_s};
            title = QString::fromUtf8("Границы эпизода");
        } else if (kind == ReviewKind::Add) {
            initial = visibleStretch ? visibleStretch() : initial;
            title = QString::fromUtf8("Эпизод, добавленный вручную");
        } else {
            for (const Stretch& s : shownAnalysis_.quality.stretches) {
                if (s.fault == Fault::OutsideWindow) {
                    (s.start_s == 0 ? initial.first : initial.second) =
                        s.start_s == 0 ? s.end_s : s.start_s;
                }
            }
        }
        const auto stretch = stretchFromDoctor(title, initial);
        if (!stretch) {
            return;
        }
        step.start_s = stretch->first;
        step.end_s = stretch->second;
        // The whole recording chosen as the window takes the window off.
        if (kind == ReviewKind::Window && step.start_s == 0 &&
            step.end_s >= shownAnalysis_.summary.valid_s) {
            step.end_s = 0;
        }
    }
    const auto refusal = onReview(step);
    reviewRefused_->setText(refusal ? q(*refusal) : QString());
    reviewRefused_->setVisible(refusal.has_value());
}

void AnalysisDialog::showReview(const AnalysisDisplay& shown) {
    const bool analysed = shown.recording && analysable(shown.analysis.quality.usability);
    reviewBox_->setEnabled(analysed);
    add_->setEnabled(analysed);
    window_->setEnabled(analysed);
    QString list;
    for (const std::string& line : shown.reviewLines) {
        list += (list.isEmpty() ? "" : "\n") + q("• " + line);
    }
    reviewList_->setText(list.isEmpty() ? QString::fromUtf8("Изменений нет.") : list);
    rowPicked();
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
    shownAnalysis_ = shown.analysis;
    // The row picked stays picked when the analysis is shown anew, if its episode is still there.
    const auto before = picked();
    const QSignalBlocker quiet(table_);
    save_->setEnabled(shown.recording);
    setWindowTitle(QString::fromUtf8(analysisTitle(shown.analysis)));
    showLeftOut(shown.analysis);
    if (!shown.recording) {
        summary_->setText(QString::fromUtf8(kNothingToAnalyse));
        verdict_->clear();
        span_->clear();
        facts_->clear();
        table_->setRowCount(0);
        rows_.clear();
        showReview(shown);
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
    // The episodes counted, then those the doctor rejected as artefacts, in grey.
    std::vector<EpisodeRow> rows = episodeRows(a);
    rows_.clear();
    for (const NightEpisode& e : a.episodes) {
        rows_.push_back({e, false});
    }
    for (std::size_t r = 0; r < rows.size() && r < a.episodes.size(); ++r) {
        if (a.episodes[r].origin == EpisodeOrigin::Moved) {
            rows[r][0] += " изм.";
        } else if (a.episodes[r].origin == EpisodeOrigin::Added) {
            rows[r][0] += " доб.";
        }
    }
    NightAnalysis rejected = a;
    rejected.episodes = a.rejected;
    for (EpisodeRow row : episodeRows(rejected)) {
        row[0] = "артеф.";
        rows.push_back(row);
    }
    for (const NightEpisode& e : a.rejected) {
        rows_.push_back({e, true});
    }
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
            item->setForeground(rows_[r].rejected ? QColor(130, 130, 130) : QColor(0, 0, 0));
        }
    }
    table_->clearSelection();
    if (before) {
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            if (rows_[r].episode.found_start_s == before->episode.found_start_s &&
                rows_[r].episode.found_end_s == before->episode.found_end_s) {
                table_->selectRow(static_cast<int>(r));
            }
        }
    }
    showReview(shown);
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
