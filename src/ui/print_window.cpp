// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Printing the window: the print dialog, then the window captured as it is laid out now (the
// behaviour has hidden what does not belong on paper) and fitted onto one page.
#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

#include "ui/print_layout.h"
#include "ui/qt_form_view.h"

namespace npt {
namespace {

// While printing, the chart takes the space under it: the analysis line moves to the free strip
// between the patient fields and the chart, so that it is on paper beside the shaded episodes.
constexpr QRect kAnalysisLineOnPaper{12, 36, 900, 18};

bool printPicture(QPrinter& printer, const QPixmap& picture) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // The painter's origin is the top-left corner of the printable area.
    const PrintedSize size =
        fitToPage(picture.width(), picture.height(), printer.width(), printer.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(0, 0, size.width, size.height), picture);
    return painter.end();
}

// The analysis line on its paper place while the window is laid out for printing, and back on
// screen whichever way printing ends.
class AnalysisLineOnPaper {
  public:
    explicit AnalysisLineOnPaper(QWidget* line) : line_(line), onScreen_(line->geometry()) {
        line_->setGeometry(kAnalysisLineOnPaper);
    }
    ~AnalysisLineOnPaper() { line_->setGeometry(onScreen_); }
    AnalysisLineOnPaper(const AnalysisLineOnPaper&) = delete;
    AnalysisLineOnPaper& operator=(const AnalysisLineOnPaper&) = delete;

  private:
    QWidget* line_;
    QRect onScreen_;
};

}  // namespace

PrintOutcome QtFormView::printWindow() {
    const AnalysisLineOnPaper paperLayout(widget(Control::LabelAnalysis));
    try {
        if (!printer_) {
            printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        }
        // "Отмена" in the print dialog means no printout, as in any other program.
        bool chosen = false;
        if (choosePrinter) {
            chosen = choosePrinter(*printer_);
        } else {
            QPrintDialog dialog(printer_.get(), window());
            chosen = dialog.exec() == QDialog::Accepted;
        }
        if (!chosen) {
            return PrintOutcome::Cancelled;
        }
        // Let the chart lay itself out at its printing height before it is captured.
        QApplication::sendPostedEvents();
        const QPixmap picture = window()->grab();
        return printPicture(*printer_, picture) ? PrintOutcome::Printed : PrintOutcome::Failed;
    } catch (const std::exception&) {
        return PrintOutcome::Failed;
    }
}

}  // namespace npt
