// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_pdf.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <string_view>
#include <vector>

#include "os/atomic_file.h"
#include "os/file_error.h"
#include "report/report_page.h"

namespace npt {

namespace {

const std::string kReportPrefix = "Не удалось сохранить отчёт";
constexpr int kResolution = 600;  // dots per inch of the PDF's page

std::size_t countOf(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// Paints the page into the open file; false when the painter could not start.
bool paintInto(QFile& file, const std::string& title, const PagePainter& paint) {
    QPdfWriter writer(&file);
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    writer.setTitle(QString::fromStdString(title));
    writer.setCreator("npt-desk");
    QPainter painter;
    if (!painter.begin(&writer)) {
        return false;
    }
    paint(painter, kResolution / 25.4);
    return painter.end();
}

}  // namespace

std::optional<std::string> reportDefect(std::span<const std::uint8_t> file) {
    const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
    if (!text.starts_with("%PDF-")) {
        return "нет заголовка PDF";
    }
    const auto end = text.rfind("%%EOF");
    if (end == std::string_view::npos ||
        text.find_first_not_of("\r\n ", end + 5) != std::string_view::npos) {
        return "файл оборван";
    }
    const std::size_t pages = countOf(text, "/Type /Page") - countOf(text, "/Type /Pages");
    if (pages != 1) {
        return "страниц " + std::to_string(pages) + " вместо одной";
    }
    return std::nullopt;
}

void writeReportPdf(const std::string& path, const NightReport& report) {
    // The patient's name stays out of the file's properties: they show in file managers.
    writePagePdf(path, "Ночной тест пенильной тумесценции",
                 [&](QPainter& painter, double pixelsPerMm) {
                     paintNightReport(painter, pixelsPerMm, report);
                 });
}

void writePagePdf(const std::string& path, const std::string& title, const PagePainter& paint) {
    replaceFileAtomically(path, kReportPrefix, [&](const TemporaryFile& temp) {
        QFile file;
        bool painted = false;
        if (file.open(temp.fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                      QFileDevice::DontCloseHandle)) {
            painted = paintInto(file, title, paint);
            file.close();
        }
        std::optional<std::string> defect = painted ? reportDefect(fileContent(temp.fd))
                                                    : std::optional<std::string>("не нарисован");
        if (!defect) {
            return;
        }
        // The PDF writer does not say which write failed: the file system says why, if it can.
        const auto reason = reasonForFailedWrite(temp.fd);
        throwFileError(path, kReportPrefix,
                       reason ? *reason : "отчёт записан с ошибкой: " + *defect);
    });
}

}  // namespace npt
