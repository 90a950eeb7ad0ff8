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
#include <cmath>

#include "analysis/analysis_text.h"

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

int secondsOf(double minutes) {
    return static_cast<int>(std::lround(minutes * 60));
}

}  // namespace

AnalysisDialog::AnalysisDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("AnalysisDialog");
    setWindowTitle(QString::fromUtf8("Анализ ночи"));
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
    form->addRow(QString::fromUtf8("Полная тумесценция от:"), fullThreshold_);
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
    if (!shown.recording) {
        summary_->setText(QString::fromUtf8(kNothingToAnalyse));
        verdict_->clear();
        facts_->clear();
        table_->setRowCount(0);
        return;
    }
    const NightAnalysis& a = shown.analysis;
    summary_->setText(q(shown.summaryLine));
    verdict_->setText(q("Качество записи: " + a.quality.verdict));
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
        headers << q(column).replace(", ", ",\n").replace(' ', '\n');
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

}  // namespace npt
