// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/study_window.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include "analysis/night_facts.h"
#include "analysis/night_report.h"
#include "archive/review_text.h"
#include "chart/axis_scale.h"
#include "os/file_error.h"
#include "plot/night_plot.h"

namespace npt {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

class NightStrip : public QWidget {
  public:
    NightStrip(StudyNightChart chart, StudyAxes axes, QWidget* parent)
        : QWidget(parent), chart_(std::move(chart)), axes_(axes) {
        setMinimumSize(420, 130);
        style_.tickFont = font();
        style_.tickFont.setPixelSize(10);
        style_.titleFont = style_.tickFont;
        style_.numberFont = style_.tickFont;
        style_.numberFont.setBold(true);
        style_.titles = plot::TitlePlace::Corners;
        style_.diameterTitle = QString::fromUtf8("мм");
        style_.timeTitle = QString();
        style_.timeText = &plot::minutesTickText;
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const plot::Frame frame(
            plot::plotWithin(QRectF(rect()).adjusted(2, 4, -14, -2), axes_.mm, style_), axes_.time,
            axes_.mm);
        plot::NightLayers layers;
        layers.curves.push_back({&chart_.times, &chart_.mm, QColor(0, 90, 200)});
        layers.episodes = &chart_.episodes;
        layers.leftOut = &chart_.leftOut;
        layers.baseline = &chart_.baseline;
        plot::paintNight(painter, frame, style_, layers);
    }

  private:
    StudyNightChart chart_;
    StudyAxes axes_;
    plot::Style style_;
};

// The figures beside each chart, those the nights are compared by; the dialog "Анализ ночи"
// and the report have them all.
constexpr std::string_view kComparedFigures[] = {
    "analysed_s", "episodes", "total_s", "longest_s", "max_increase_mm", "largest_rise_mm"};

// The night's figures for the column beside its chart.
std::string figuresOf(const archive::ArchivedNight& n, bool best) {
    std::string text = "<b>Ночь " + n.row.date + "</b>, с " + n.row.start;
    if (best) {
        text += " &nbsp;<b style=\"color:#1a7f1a\">★ лучшая ночь</b>";
    }
    text += "<br>";
    for (const NightFactKind& kind : nightFactKinds()) {
        if (std::find(std::begin(kComparedFigures), std::end(kComparedFigures), kind.key) ==
            std::end(kComparedFigures)) {
            continue;
        }
        if (const auto value = nightFact(n.analysis, kind)) {
            text += std::string(kind.label) + ": <b>" + factText(kind.unit, *value) + "</b><br>";
        }
    }
    if (!n.review.empty()) {
        text += "<i>Изменений врача: " + std::to_string(n.review.size()) + "</i>";
    }
    return text;
}

}  // namespace

namespace {
archive::Archive& archiveOf(NightFiling& filing) {
    archive::Archive* a = filing.archive();
    if (a == nullptr) {
        throw archive::ArchiveError(archive::ArchiveError::Kind::Unreachable,
                                    filing.lastFailure().value_or("Архив недоступен."));
    }
    return *a;
}
}  // namespace

StudyWindow::StudyWindow(QWidget* parent, NightFiling& filing, archive::Id study,
                         const std::string& doctor)
    : QDialog(parent),
      filing_(filing),
      study_(study),
      report_(studyReportOf(archiveOf(filing), study)) {
    setObjectName("StudyWindow");
    setModal(false);
    const auto& nights = report_.nights;
    std::string span;
    if (!nights.empty()) {
        span = nights.front().row.date +
               (nights.size() > 1 ? "–" + nights.back().row.date : std::string());
    }
    setWindowTitle(q("Исследование: " + report_.patientName + (span.empty() ? "" : ", " + span)));

    // One time of night and one diameter scale for all, as on the study report.
    std::vector<StudyNightChart> charts;
    charts.reserve(nights.size());
    for (const auto& n : nights) {
        charts.push_back(studyNightChart(n));
    }
    const StudyAxes axes = studyAxes(charts);

    auto* grid = new QGridLayout();
    for (std::size_t i = 0; i < nights.size(); ++i) {
        const bool best = report_.best == i;
        auto* strip = new NightStrip(charts[i], axes, this);
        strip->setObjectName(QString("Night%1").arg(i + 1));
        auto* figures = new QLabel(q(figuresOf(nights[i], best)), this);
        figures->setTextFormat(Qt::RichText);
        figures->setWordWrap(true);
        figures->setMinimumWidth(260);
        figures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // The verdict and the doctor's changes in full, where the column has no room for them.
        std::string details = "Качество записи: " + nights[i].analysis.quality.verdict;
        for (const std::string& change :
             archive::reviewTexts(nights[i].review, nights[i].startSeconds)) {
            details += "\n" + change;
        }
        figures->setToolTip(q(details));
        if (best) {
            figures->setStyleSheet("QLabel { background: #eef8ee; border: 1px solid #1a7f1a; }");
        }
        figures_.push_back(figures);
        auto* open = new QPushButton(QString::fromUtf8("Открыть"), this);
        open->setToolTip(QString::fromUtf8("Открыть эту ночь в главном окне"));
        const archive::Id id = nights[i].row.id;
        connect(open, &QPushButton::clicked, this, [this, id] {
            if (onOpenNight) {
                onOpenNight(id);
            }
        });
        auto* side = new QVBoxLayout();
        side->addWidget(figures, 1);
        side->addWidget(open, 0, Qt::AlignLeft);
        grid->addWidget(strip, static_cast<int>(i), 0);
        grid->addLayout(side, static_cast<int>(i), 1);
        grid->setRowStretch(static_cast<int>(i), 1);
    }
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 1);

    conclusion_ = new QPlainTextEdit(q(report_.conclusion), this);
    conclusion_->setObjectName("Conclusion");
    conclusion_->setPlaceholderText(QString::fromUtf8("Заключение врача по исследованию"));
    conclusion_->setMaximumHeight(90);
    doctor_ = new QLineEdit(q(report_.doctor.empty() ? doctor : report_.doctor), this);
    doctor_->setObjectName("Doctor");
    saveConclusion_ = new QPushButton(QString::fromUtf8("Сохранить заключение"), this);
    saveConclusion_->setObjectName("SaveConclusion");
    report_button_ = new QPushButton(QString::fromUtf8("Отчёт исследования…"), this);
    report_button_->setObjectName("StudyReport");
    report_button_->setToolTip(
        QString::fromUtf8("Все ночи исследования на одной странице A4 (PDF)"));
    print_ = new QPushButton(QString::fromUtf8("Печать…"), this);
    print_->setObjectName("PrintStudy");
    print_->setToolTip(QString::fromUtf8("Напечатать отчёт исследования на одной странице A4"));
    auto* close = new QPushButton(QString::fromUtf8("Закрыть"), this);
    said_ = new QLabel(this);
    said_->setObjectName("Said");
    said_->setWordWrap(true);

    auto* doctorRow = new QHBoxLayout();
    doctorRow->addWidget(new QLabel(QString::fromUtf8("Врач:"), this));
    doctorRow->addWidget(doctor_, 1);
    doctorRow->addWidget(saveConclusion_);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(said_, 1);
    buttons->addWidget(report_button_);
    buttons->addWidget(print_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addWidget(new QLabel(QString::fromUtf8("Заключение:"), this));
    layout->addWidget(conclusion_);
    layout->addLayout(doctorRow);
    layout->addLayout(buttons);
    resize(900,
           std::min(760, 200 + 170 * static_cast<int>(std::max<std::size_t>(nights.size(), 1))));

    connect(saveConclusion_, &QPushButton::clicked, this, [this] { saveConclusion(); });
    connect(report_button_, &QPushButton::clicked, this, [this] { writeReport(); });
    connect(print_, &QPushButton::clicked, this, [this] { printReport(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

void StudyWindow::saveConclusion() {
    const std::string text = conclusion_->toPlainText().toStdString();
    const std::string doctor = doctor_->text().trimmed().toStdString();
    try {
        archiveOf(filing_).conclude(study_, text, doctor);
        report_.conclusion = text;
        report_.doctor = doctor;
        said_->setStyleSheet(QString());
        said_->setText(QString::fromUtf8("Заключение сохранено в архиве."));
    } catch (const archive::ArchiveError& e) {
        said_->setStyleSheet("color: #b00000;");
        said_->setText(q(std::string("Заключение не сохранено: ") + e.what()));
    }
}

void StudyWindow::writeReport() {
    // What is typed goes on the page, saved or not.
    report_.conclusion = conclusion_->toPlainText().toStdString();
    report_.doctor = doctor_->text().trimmed().toStdString();
    std::string proposed = report_.patientName;
    std::replace_if(
        proposed.begin(), proposed.end(), [](char c) { return c == ' ' || c == '/' || c == '\\'; },
        '_');
    if (!report_.nights.empty()) {
        proposed += "_" + report_.nights.front().row.date;
    }
    const QString suggested = q("Исследование_" + proposed + ".pdf");
    const QString path = chooseReportFile ? chooseReportFile(suggested)
                                          : QFileDialog::getSaveFileName(
                                                this, QString::fromUtf8("Отчёт исследования"),
                                                suggested, QString::fromUtf8("Отчёт PDF (*.pdf)"));
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(".pdf", Qt::CaseInsensitive)) {
        said_->setStyleSheet("color: #b00000;");
        said_->setText(QString::fromUtf8("Отчёт не сохранён: имя должно оканчиваться на .pdf."));
        return;
    }
    try {
        writeStudyReportPdf(path.toStdString(), report_);
        said_->setStyleSheet(QString());
        said_->setText(QString::fromUtf8("Отчёт сохранён: ") + path);
    } catch (const FileError& e) {
        said_->setStyleSheet("color: #b00000;");
        said_->setText(q(e.what()));
    }
}

void StudyWindow::printReport() {
    report_.conclusion = conclusion_->toPlainText().toStdString();
    report_.doctor = doctor_->text().trimmed().toStdString();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);  // the page's own margins, as on the PDF
    bool chosen = false;
    if (choosePrinter) {
        chosen = choosePrinter(printer);
    } else {
        QPrintDialog dialog(&printer, this);
        chosen = dialog.exec() == QDialog::Accepted;
    }
    if (!chosen) {
        return;  // "Отмена": nothing printed
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        said_->setStyleSheet("color: #b00000;");
        said_->setText(QString::fromUtf8(
            "Не удалось напечатать: принтер не выбран или недоступен. Выберите принтер или "
            "печать в файл (PDF) и повторите."));
        return;
    }
    const double pixelsPerMm = printer.resolution() / 25.4;
    paintStudyReport(painter, pixelsPerMm, report_);
    painter.end();
    said_->setStyleSheet(QString());
    said_->setText(QString::fromUtf8("Отчёт исследования отправлен на печать."));
}

}  // namespace npt
