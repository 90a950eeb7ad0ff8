// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ttm_form.h"

#include <algorithm>
#include <stdexcept>

#include "app/edf_equipment.h"
#include "app/link_texts.h"
#include "archive/archived_edf.h"
#include "chart/zoom.h"
#include "measure/calibration.h"
#include "measure/time_of_day.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/file_name.h"
#include "recorder/battery.h"
#include "recorder/passport.h"
#include "records/data_file.h"
#include "records/edf_night.h"
#include "records/spreadsheet.h"

namespace npt {

namespace {
constexpr int kNameMaxLength = 23;
constexpr int kNumberMaxLength = 2;  // the age and the sample period
constexpr int kDefaultPeriodText = 10;
constexpr long long kStudyStartSeconds = 22 * 3600;  // the default study window starts at 22:00

// A conversion error: a text in a field that should hold a time does not.
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The study's start time in whole seconds since midnight.
int parseStartSeconds(const std::string& text) {
    const auto seconds = parseTimeOfDaySeconds(text);
    if (!seconds) {
        throw ConversionError("«" + text +
                              "» — неверное время начала исследования (ожидается ЧЧ:ММ).");
    }
    return *seconds;
}

}  // namespace

TTMForm::TTMForm(FormView& view, const Clock& clock, SettingsStore* settings,
                 hid::THidDeviceController* hid)
    : view_(view), clock_(clock), settings_(settings), hid_(hid) {
    wireRecorderLink();
}

bool TTMForm::guarded(const std::function<void()>& body) {
    const auto revision = chart_.revision();
    bool ok = true;
    try {
        body();
    } catch (const std::exception& error) {
        showError(error.what());
        ok = false;
    }
    if (chart_.revision() != revision) {
        view_.chartChanged();
    }
    return ok;
}

void TTMForm::showError(const std::string& text) {
    view_.messageBox(kErrorTitle, text, MessageIcon::Error, MessageButtons::Ok);
}

void TTMForm::info(const char* title, const std::string& text) {
    view_.messageBox(title, text, MessageIcon::Information, MessageButtons::Ok);
}

void TTMForm::warning(const char* title, const std::string& text) {
    view_.messageBox(title, text, MessageIcon::Warning, MessageButtons::Ok);
}

// ---- Window lifetime -----------------------------------------------------------------------

void TTMForm::FormCreate() {
    view_.setMaxLength(Control::Name, kNameMaxLength);
    view_.setMaxLength(Control::Old, kNumberMaxLength);
    view_.setMaxLength(Control::Tscan, kNumberMaxLength);
    std::string doctor = kDefaultDoctorName;
    if (settings_ != nullptr) {
        if (auto stored = settings_->doctorName()) {
            doctor = *stored;
        }
    }
    view_.setText(Control::VName, doctor);
    view_.setText(Control::Tscan, std::to_string(kDefaultPeriodText));
    const LocalDateTime now = clock_.now();
    view_.setText(Control::Date, shortDateText(now));
    view_.setText(Control::TimeNow, hourMinuteText(now));
    view_.setText(Control::TimeStart, hourMinuteText(kStudyStartSeconds));
    view_.setText(Control::TimeEnd, hourMinuteText(kStudyStartSeconds + kSecondsPerDay / 2));
    state_.readButtonTop = kReadButtonTop;
    state_.writeButtonTop = kWriteButtonTop;
    view_.setReadOnly(Control::Tscan, true);
    view_.setEnabled(Control::Tscan, false);
    // The study's times and date come from the clock or the passport, the battery voltage from
    // the recorder: none of them is typed.
    for (Control shown :
         {Control::TimeStart, Control::TimeEnd, Control::Date, Control::TimeNow, Control::Ubat}) {
        view_.setReadOnly(shown, true);
    }
    state_.recorderPresent = false;
    view_.setColour(Control::OpenIndicator, colours::kGreen);
    Click_code(CommandCode::None);
    state_.memoryImage.reset();
    state_.password.clearBuffer();
    loadAnalysisSettings();
    loadFolderSetting();
}

void TTMForm::FormDestroy() {
    if (settings_ == nullptr) {
        return;
    }
    try {
        settings_->saveDoctorName(view_.text(Control::VName));
    } catch (const std::exception& error) {
        const bool parametersToo = state_.analysisParameters != storedParameters_;
        view_.messageBox("Сохранение настроек",
                         std::string(error.what()) + " ФИО врача" +
                             (parametersToo ? " и параметры анализа" : "") +
                             " при следующем запуске придётся ввести заново.",
                         MessageIcon::Warning, MessageButtons::Ok);
        return;  // the parameters go to the same file
    }
    saveAnalysisSettings();
    saveFolderSetting();
}

void TTMForm::FormKeyDown() {
    state_.blockCounter = 0;
}

// ---- Files ---------------------------------------------------------------------------------

void TTMForm::LoadFileClick() {
    const auto path = view_.chooseOpenFile(lastFolder_);
    if (path) {
        rememberFolder(*path);
        loadRecording(*path);
    }
}

bool TTMForm::loadRecording(const std::string& path) {
    return guarded([&] {
        const auto bytes = readDataFileBytes(path);
        loadImage(imageFromDataFile(bytes, path));
        fileLoadedNight(path, bytes);
    });
}

bool TTMForm::loadRecordingBytes(std::span<const std::uint8_t> bytes, const std::string& name) {
    return guarded([&] { loadImage(imageFromDataFile(bytes, name)); });
}

void TTMForm::loadImage(const MemoryImage& image) {
    endLinkSession();
    filedNight_.reset();
    state_.read = ReadSession{};  // a file is kept whole, and its password decided below
    state_.memoryImage = image;
    state_.password.resetForCheck();
    checkPassword();
    if (!state_.memoryImage.hasPassport()) {
        // A recording without a passport belongs to no patient: the name and age of the one
        // shown before must not stay beside it, nor go into its export.
        view_.setText(Control::Name, "");
        view_.setText(Control::Old, "");
        info(kReadTitle, kEmptyMemoryText);
        view_.setFocus(Control::Name);
    } else {
        Edit_byteArray();
    }
    view_.setText(Control::Ubat, "");
    // A load gives no battery warnings, so a warning colour left by an earlier read goes.
    view_.setColour(Control::Ubat, std::nullopt);
    Edit_Buttery();
    Graf_byteArray();
    showRecording();
}

void TTMForm::checkPassword() {
    PasswordState& p = state_.password;
    if (state_.memoryImage.passwordAbsent()) {
        p.askPassword = false;
    }
    if (p.askPassword) {
        const auto typed = view_.askPassword();
        if (typed) {
            confirmPassword(p, *typed, state_.memoryImage);
        } else if (p.mode == PasswordMode::Check) {
            p.passwordWrong = true;  // closing the dialog is no way round the password
        }
    }
    if (p.passwordWrong) {
        warning(kWrongPasswordTitle, kWrongPasswordText);
        p.nameHidden = true;
    }
}

void TTMForm::showRecording() {
    chart_.checkDataSource();
    chart_.setPeriod(1);
    chart_.setSeries2Colour(colours::kBlue);
    chart_.setSeries1Active(false);
    view_.repaint();
}

void TTMForm::SaveFileDataClick() {
    const auto path = view_.chooseSaveFile(proposedPath(FileKind::DataFile));
    if (!path) {
        return;
    }
    rememberFolder(*path);
    const FileKind kind = fileKindOf(*path);
    if (kind == FileKind::DataFile) {
        saveDataFile(*path);
    } else if (kind == FileKind::Workbook) {
        exportSpreadsheet(*path);
    } else if (kind == FileKind::Edf) {
        exportEdf(*path);
    } else {
        warning("Сохранение данных",
                "Файл «" + *path +
                    "» не сохранён: имя должно оканчиваться на .txt (запись датчика), .xlsx "
                    "(таблица) или .edf (EDF+).");
    }
}

bool TTMForm::recordingKeepable() {
    switch (state_.read.image) {
        case ImageState::Keepable:
            return true;
        case ImageState::Receiving:
            warning(link_texts::kSaveTitle, link_texts::kReadNotOverText);
            return false;
        case ImageState::Incomplete:
            warning(link_texts::kSaveTitle, link_texts::kReadIncompleteSaveText);
            return false;
    }
    return false;
}

bool TTMForm::saveDataFile(const std::string& path) {
    if (!recordingKeepable()) {
        return false;
    }
    return guarded([&] {
        // Also when "Чтение" without an adapter has cleared NameHidden: the password that was
        // typed still did not match.
        if (nameWithheld() || state_.password.passwordWrong) {
            using namespace ImageOffsets;
            // Every name byte goes, whatever the passport-presence test says: a name whose 22nd
            // letter is «я» ends in 0xFF, which that test takes for erased flash. An erased lead
            // byte stays, so that a recorder read before any passport was written does not get
            // a made-up one.
            if (state_.memoryImage[kPassportLead] != kErasedByte) {
                state_.memoryImage[kPassportLead] = 0;
            }
            for (std::size_t i = kName; i < kName + kNameLength; ++i) {
                state_.memoryImage[i] = 0;
            }
        }
        writeDataFile(path, state_.memoryImage);
    });
}

ExportTable TTMForm::exportTable() const {
    const int startSeconds = parseStartSeconds(view_.text(Control::TimeStart));
    return buildExportTable(
        {view_.text(Control::Name), view_.text(Control::Old), view_.text(Control::Date)},
        state_.diameterTable, state_.samplePeriod, startSeconds);
}

bool TTMForm::exportSpreadsheet(const std::string& path) {
    if (!recordingKeepable()) {
        return false;
    }
    return guarded([&] {
        // The night's analysis goes on a second sheet, once a recording has been drawn.
        std::optional<WorkbookAnalysis> analysis;
        if (const auto& night = state_.nightAnalysis) {
            analysis = WorkbookAnalysis{night->result, night->startSeconds};
        }
        writeXlsx(path, exportTable(), analysis ? &*analysis : nullptr);
        view_.beep();
    });
}

bool TTMForm::exportCsv(const std::string& path) {
    if (!recordingKeepable()) {
        return false;
    }
    return guarded([&] { writeCsv(path, exportTable()); });
}

bool TTMForm::exportEdf(const std::string& path) {
    if (!recordingKeepable()) {
        return false;
    }
    return guarded([&] {
        const auto& night = state_.nightAnalysis;
        if (!night || night->notARecording) {
            throw std::runtime_error("Файл EDF не записан: нет записи датчика.");
        }
        if (night->periodSeconds == 0) {
            // The file's time axis is the period: a guessed one would put every episode at a
            // wrong time of night.
            throw std::runtime_error(
                "Файл EDF не записан: период измерений неизвестен (в памяти датчика нет "
                "паспортной части).");
        }
        EdfNightSource source =
            archive::reviewedNightSource(night->samples, night->periodSeconds, night->startSeconds,
                                         state_.memoryImage, night->review);
        // The night's own name, as the window shows it for this image. A hidden one never
        // reaches the file, nor a name typed since into the field (the next patient's, for his
        // passport): "X", as the format says of what is unknown.
        const std::string own = decodePassport(state_.memoryImage, nameWithheld()).name;
        if (!state_.password.nameHidden && !own.empty() && view_.text(Control::Name) == own) {
            source.name = own;
        }
        source.number = filedPatientNumber();
        source.equipment = edfEquipment();
        writeFileAtomically(path, edfBytes(edfNightOf(source, night->result)),
                            "Не удалось сохранить файл EDF");
    });
}

std::optional<std::string> TTMForm::filedPatientNumber() {
    if (filing_ == nullptr || !filedNight_) {
        return std::nullopt;
    }
    // The number is the archive's: a failing archive leaves it out, it does not stop the export.
    try {
        archive::Archive* a = filing_->archive();
        const auto row = a != nullptr ? a->night(*filedNight_) : std::nullopt;
        return row ? archive::patientNumberOf(*a, *row) : std::nullopt;
    } catch (const archive::ArchiveError&) {
        return std::nullopt;
    }
}

// ---- Recording display ---------------------------------------------------------------------

void TTMForm::Graf_byteArray() {
    state_.diameterTable.count = 0;
    chart_.clearSeries1();
    chart_.clearSeries3();
    clearAnalysis();
    Korr_edit();
    if (!state_.memoryImage.hasPassport()) {
        info(kReadTitle, kEmptyMemoryText);
        view_.setFocus(Control::Name);
    } else {
        Edit_byteArray();
    }
    const int startSeconds = parseStartSeconds(view_.text(Control::TimeStart));
    const double start = startSeconds / static_cast<double>(kSecondsPerDay);
    const auto points = decodeSamples(state_.memoryImage, start, state_.samplePeriod);
    chart_.series1().reserve(points.size());
    for (const SamplePoint& p : points) {
        chart_.addRawPoint(p.time, p.diameter);
        state_.diameterTable.entries[state_.diameterTable.count++] = roundedToTenth(p.diameter);
    }
    view_.sendChartToBack();
    analyseRecording(startSeconds);
}

void TTMForm::Edit_byteArray() {
    const PassportFields f = decodePassport(state_.memoryImage, nameWithheld());
    view_.setText(Control::Name, f.name);
    view_.setText(Control::Tscan, f.tscan);
    view_.setText(Control::Old, f.age);
    view_.setText(Control::Date, f.date);
    view_.setText(Control::TimeStart, hourMinuteText(f.timeStart * 60LL));
    view_.setText(Control::TimeEnd, hourMinuteText(f.timeEnd * 60LL));
    view_.setText(Control::TimeNow, hourMinuteText(f.timeNow * 60LL));
    state_.samplePeriod = f.samplePeriod;
    state_.programTime = f.programTime;
    state_.delayHigh = f.delayHigh;
    state_.delayLow = f.delayLow;
}

bool TTMForm::nameWithheld() const {
    // A read not yet found whole has not asked for the password; a recording without one has
    // nothing to ask.
    return state_.password.nameHidden ||
           (!state_.read.passwordDecided && !state_.memoryImage.passwordAbsent());
}

void TTMForm::Korr_edit() {
    for (int mm : calibration::missingPoints(state_.memoryImage, state_.eightPointRecorder)) {
        warning(calibration::kWarningTitle, calibration::warningText(mm));
    }
}

void TTMForm::Edit_Buttery() {
    view_.setEnabled(Control::LabelBatt, true);
    state_.batteryLevel = battery::level(state_.memoryImage);
    view_.setText(Control::Ubat, battery::voltageText(state_.batteryLevel));
}

// ---- Chart navigation ----------------------------------------------------------------------

void TTMForm::ZoomPlusClick() {
    guarded([&] { zoom::stepMaximum(chart_, AxisId::Left, -zoom::kDiameterStepMm); });
}
void TTMForm::ZoomMinusClick() {
    guarded([&] { zoom::stepMaximum(chart_, AxisId::Left, zoom::kDiameterStepMm); });
}
void TTMForm::HplusClick() {
    guarded([&] { zoom::stepMaximum(chart_, AxisId::Bottom, -zoom::kTimeStepDays); });
}
void TTMForm::HMinusClick() {
    guarded([&] { zoom::stepMaximum(chart_, AxisId::Bottom, zoom::kTimeStepDays); });
}
void TTMForm::ZoomResetClick() {
    guarded([&] { zoom::reset(chart_); });
}
void TTMForm::Filter_plusClick() {
    guarded([&] { zoom::stepPeriod(chart_, 1); });
}
void TTMForm::Filter_minusClick() {
    guarded([&] { zoom::stepPeriod(chart_, -1); });
}

// ---- Age field -----------------------------------------------------------------------------

std::optional<char32_t> TTMForm::OldKeyPress(char32_t typed, Control field) {
    return age_field::filterKey(typed, view_.text(field));
}

void TTMForm::OldKeyUp(bool backspace, Control field) {
    const auto result = age_field::normalise(view_.text(field), view_.caret(field), backspace);
    if (result.error) {
        showError(*result.error);
        return;
    }
    if (result.text != view_.text(field)) {
        view_.setText(field, result.text);
    }
    view_.setCaret(field, result.caret);
}

}  // namespace npt
