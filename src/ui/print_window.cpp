// Printing the window: the passport strip and the chart, captured as the doctor sees them and
// fitted onto one page. Whatever happens, the window is put back as it was.
#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>
#include <map>

#include "app/ttm_form.h"
#include "records/print_layout.h"
#include "ui/qt_form_view.h"

namespace npt {
namespace {

constexpr int kChartPrintHeight = 470;
constexpr int kChartHeightAfterPrint = 425;
constexpr const char* kPrintTitle = "Печать";
constexpr const char* kPrintFailed =
    "Не удалось напечатать: принтер не выбран или недоступен. Выберите принтер или печать в "
    "файл (PDF) и повторите.";

// Controls that do not belong on paper, in the order they are hidden.
constexpr Control kOffPaper[] = {
    Control::Shape1,    Control::Shape2,        Control::ReadData,    Control::LabelBatt,
    Control::ZoomReset, Control::ZoomMinus,     Control::ZoomPlus,    Control::Hminus,
    Control::Hplus,     Control::SaveFileData,  Control::LoadFile,    Control::PrintGraf,
    Control::WriteData, Control::OpenIndicator, Control::Filter_plus, Control::Filter_minus,
    Control::Ubat,      Control::ShowAnalysis,
};

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

}  // namespace

void QtFormView::PrintGrafClick() {
    std::map<Control, bool> before;
    for (Control c : kOffPaper) {
        before[c] = visible(c);
    }
    setHeight(Control::ChartGraf, kChartPrintHeight);
    for (Control c : kOffPaper) {
        setVisible(c, false);
    }
    QWidget* analysisLine = widget(Control::LabelAnalysis);
    const QRect analysisLineOnScreen = analysisLine->geometry();
    analysisLine->setGeometry(kAnalysisLineOnPaper);
    setFocus(Control::Date);

    bool cancelled = false;
    bool printed = false;
    try {
        if (!printer_) {
            printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        }
        // "Отмена" in the print dialog means no printout, as in any other program.
        if (choosePrinter) {
            cancelled = !choosePrinter(*printer_);
        } else {
            QPrintDialog dialog(printer_.get(), window());
            cancelled = dialog.exec() != QDialog::Accepted;
        }
        if (!cancelled) {
            // Let the chart lay itself out at its printing height before it is captured.
            QApplication::sendPostedEvents();
            const QPixmap picture = window()->grab();
            printed = printPicture(*printer_, picture);
        }
    } catch (const std::exception&) {
        printed = false;
    }

    for (Control c : kOffPaper) {
        setVisible(c, before[c]);
    }
    analysisLine->setGeometry(analysisLineOnScreen);
    setHeight(Control::ChartGraf, kChartHeightAfterPrint);
    if (!printed && !cancelled) {
        messageBox(kPrintTitle, kPrintFailed, MessageIcon::Error, MessageButtons::Ok);
    }
}

}  // namespace npt
