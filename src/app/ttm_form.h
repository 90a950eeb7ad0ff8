// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's behaviour: every handler and the state they share, free of any widget.
// Handlers are named after the control and event that trigger them, or after what they do;
// they reach the screen only through FormView.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/night_analysis.h"
#include "analysis/night_report.h"
#include "analysis/night_review.h"
#include "app/age_field.h"
#include "app/clock.h"
#include "app/form_view.h"
#include "app/night_filing.h"
#include "app/read_check.h"
#include "app/settings_file.h"
#include "app/window_layout.h"
#include "chart/chart_model.h"
#include "measure/samples.h"
#include "os/file_name.h"
#include "recorder/command_reports.h"
#include "recorder/memory_image.h"
#include "recorder/password.h"
#include "records/export_table.h"

namespace npt::hid {
class THidDevice;
class THidDeviceController;
}  // namespace npt::hid

namespace npt {

inline constexpr const char* kWindowCaption =
    "Тест ночной пенильной тумесценции     ver 20.03.20_8b";
inline constexpr const char* kErrorTitle = "Ошибка";
inline constexpr const char* kReadTitle = "Чтение данных датчика регистратора";
inline constexpr const char* kEmptyMemoryText = "Память датчика пустая (без паспортной части)!";
// The ends of the indicator's travel during a read or a write.
inline constexpr int kReadButtonTop = placeOf(Control::ReadData).top;
inline constexpr int kWriteButtonTop = placeOf(Control::WriteData).top;

// The night drawn last, as it was analysed: its own copy of the samples (a read refills the
// image while the chart still shows the night before), the period and the start, and the result.
struct AnalysedNight {
    std::vector<std::uint8_t> samples;
    std::uint8_t periodSeconds = 0;
    int startSeconds = 0;
    bool passport = false;  // the image held a passport: the times shown came from it
    std::optional<std::string> notARecording;  // why the image is no recorder's memory
    bool demonstration = false;                // the demonstration recorder's night
    // The doctor's review of this night, as the archive keeps it (or, for a night not filed,
    // as this window does); the result has it applied.
    std::vector<archive::ReviewChange> review;
    NightAnalysis result;
    NightRecording recording() const {
        return {samples, periodSeconds, startSeconds, notARecording};
    }
};

// Timer1 steps the indicator's slide during a write, two pixels about 60 times a second: slow
// enough to be seen. Timer2 is the completion check of a read.
inline constexpr int kTimer1IntervalMs = 16;
inline constexpr int kTimer2IntervalMs = 1000;

// State shared by the handlers; lives as long as the window.
struct FormState {
    hid::THidDevice* recorderDevice = nullptr;  // the adapter claimed by the last enumeration
    bool recorderPresent = false;
    OutputReport outputReport{};  // report ID, command code (the last one sent), parameters
    std::int32_t blockCounter = 0;
    MemoryImage memoryImage;
    PasswordState password;
    bool ackFlag = false, doneFlag = false, programmedFlag = false;
    bool startNow = false;
    std::uint8_t samplePeriod = 0;
    std::int32_t batteryLevel = 0;
    double programTime = 0;
    double delayHigh = 0, delayLow = 0;
    std::int32_t readButtonTop = 0, writeButtonTop = 0;
    std::int32_t indicatorTop = 0;
    bool eightPointRecorder = false;
    DiameterTable diameterTable;
    AnalysisParameters analysisParameters;       // as stored or last set in the analysis dialog
    std::optional<AnalysedNight> nightAnalysis;  // none until a recording is drawn
    // The write session, between WriteDataClick and WriteDataFlash.
    std::uint8_t patientAge = 0;
    double studyDay = 0, studyMonth = 0, studyYear = 0;  // year - 2000
    // errno of the last send step that failed; 0 when the last one went out.
    int lastSendError = 0;
    // A file was loaded: no report goes into the loaded recording, until the next "Чтение" or
    // "Запись" sends its command.
    bool reportsIgnored = false;
    // The load cut short a read or write that still awaited the recorder: what the recorder
    // sends of it afterwards is dropped without a word.
    bool sessionInterrupted = false;
    // Since the last "Запись", the recorder's echo has confirmed it: a write still waiting for
    // the recorder is told from one that has ended.
    bool writeConfirmed = false;
    ReadSession read;  // the read since "Чтение": its checks' verdict, password, repeats
};

class TTMForm {
  public:
    // settings may be null: the doctor's name then starts at its default and is not stored.
    // hid may be null in tools that never reach the recorder; otherwise the form takes its
    // enumeration, device-change and report handlers, so create it right after the controller
    // (before the controller's first scan runs) and let it outlive the form.
    TTMForm(FormView& view, const Clock& clock, SettingsStore* settings,
            hid::THidDeviceController* hid = nullptr);

    // Window lifetime.
    void FormCreate();
    // Once the window is on screen: what the settings file could not give, in one message.
    void FormShow();
    void FormDestroy();
    void FormKeyDown();

    // The recorder link: adapter presence and the command sender.
    bool HIDEnumerate(hid::THidDevice& HidDev, std::int32_t Idx);
    void HIDDeviceChange();
    void Click_code(CommandCode code);

    // The read session, and the receive handler of every report (device and report ID unused).
    void ReadDataClick();
    void HIDDeviceData(hid::THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                       std::uint16_t Size);
    void Timer1Timer();
    void Timer2Timer();

    // The write session.
    void WriteDataClick();
    void WriteDataFlash();

    // "Печать": the passport strip and the chart on one page.
    void PrintGrafClick();

    // Files and export.
    void LoadFileClick();
    void SaveFileDataClick();
    // The load flow for a chosen file; false when the file could not be loaded (the reason has
    // been shown and nothing changed).
    bool loadRecording(const std::string& path);
    // The same for file bytes already in memory; name is used in messages.
    bool loadRecordingBytes(std::span<const std::uint8_t> bytes, const std::string& name);
    bool saveDataFile(const std::string& path);
    bool exportSpreadsheet(const std::string& path);  // .xlsx
    bool exportCsv(const std::string& path);
    bool exportEdf(const std::string& path);  // .edf (EDF+)

    // Recording display.
    void Graf_byteArray();
    void Edit_byteArray();
    void Korr_edit();
    void Edit_Buttery();

    // Chart navigation.
    void ZoomPlusClick();
    void ZoomMinusClick();
    void HplusClick();
    void HMinusClick();
    void ZoomResetClick();
    void Filter_plusClick();
    void Filter_minusClick();

    // Night analysis (ttm_form_analysis.cpp).
    // "Анализ": opens the dialog "Анализ ночи".
    void ShowAnalysisClick();
    // New parameters from the dialog: the night is analysed anew and shown at once. Parameters
    // that cannot be used change nothing; the Russian reason is returned.
    std::optional<std::string> setAnalysisParameters(const AnalysisParameters& parameters);
    // "Сохранить отчёт…" in the dialog: the one-page PDF of the night shown.
    void SaveReportClick();
    bool saveReport(const std::string& path);
    NightReport nightReport() const;

    // The patient archive (ttm_form_archive.cpp). Without one nothing is filed (the tool's
    // show, export and report). With one, every whole read is filed the moment its check finds
    // it whole, before any question; a recording opened from a file is filed when the doctor
    // has said so once (a setting).
    void setNightFiling(NightFiling* filing) { filing_ = filing; }
    // The archive's id of the night shown, when it was filed.
    std::optional<archive::Id> filedNight() const { return filedNight_; }
    // "Архив": opens the patients window.
    void ShowArchiveClick();
    // Opens a night of the archive as "Из файла" opens a file (the password step, the passport,
    // the chart, the analysis), without asking whether to file it: it is filed already. A
    // protected night not yet identified gets its patient once the password unlocks the name.
    // False when the archive or the night cannot be reached: that is shown and nothing changes.
    bool openArchivedNight(archive::Id night);

    // The doctor's review of the night shown (ttm_form_review.cpp). One step: the figures, the
    // line under the chart, the dialog and the report follow at once, and the step is kept with
    // the night in the archive when the night is filed there. Returns why the step was not
    // taken (no night shown, no such episode, nothing measurable there), or nothing.
    std::optional<std::string> ReviewEpisode(const ReviewStep& step);
    // A row of the dialog's table clicked: the episode (by its found bounds) highlighted on the
    // chart; none: the highlight goes.
    void SelectEpisode(std::optional<std::pair<int, int>> foundBounds);
    // The review's changes as the dialog and the report list them.
    std::vector<std::string> reviewLines() const;

    // Age field: the character to insert for a typed one (nothing: refused), and the
    // normalisation after every key release.
    std::optional<char32_t> OldKeyPress(char32_t typed, Control field = Control::Old);
    void OldKeyUp(bool backspace, Control field = Control::Old);

    const FormState& state() const { return state_; }
    const ChartModel& chart() const { return chart_; }
    ChartModel& chart() { return chart_; }

  private:
    // Runs a handler body; an error it raises ends it and is shown in an error box.
    bool guarded(const std::function<void()>& body);
    void showError(const std::string& text);
    void loadImage(const MemoryImage& image);
    void checkPassword();
    void showRecording();
    void loadAnalysisSettings();
    void saveAnalysisSettings();
    void clearAnalysis();
    void analyseRecording(int startSeconds);
    void showAnalysis();
    void wireRecorderLink();
    // A warning shown from the main loop once the current scan is over.
    void showLater(const char* title, std::string text);
    // The send step: the output report to the claimed adapter; a refusal is shown.
    void sendOutputReport();
    // ReadData, WriteData and the indicator as the adapter's presence says.
    void showPresence();
    void batteryWarnings(bool recolour);
    // The answer to a read command sent again, arriving after the read is whole: not taken.
    // Asked of every report while the last command is a read.
    bool repeatedAnswer(Marker marker);
    // The name stays off the screen until the password has been decided for the image.
    bool nameWithheld() const;
    // Whether the image may be saved or exported; if not, the doctor is told why.
    bool recordingKeepable();
    // The clinic's number of the patient of the night on screen, when the archive holds it.
    std::optional<std::string> filedPatientNumber();
    void confirmWrite();
    // Why the passport cannot be written, asked before anything is sent; false when refused.
    bool passportStorable();
    bool takeStorePassword();
    void prepareWriteValues();
    // A load ends a read or write in progress: nothing more of it reaches the loaded image.
    void endLinkSession();
    // The command whose answer the window still awaits: a read until its check has seen the
    // closing block, a write until the recorder's echo has confirmed it.
    std::optional<CommandCode> pendingSession() const;
    ExportTable exportTable() const;
    // The file dialogs' folder and proposed names (ttm_form_files.cpp).
    std::string proposedPath(FileKind kind) const;
    void rememberFolder(const std::string& chosen);
    void loadFolderSetting();
    void saveFolderSetting();
    // ttm_form_archive.cpp: the whole read into the archive, then its patient once the password
    // is known; a loaded file when the doctor wants loads filed.
    void fileReadNight();
    void identifyReadNight();
    void fileLoadedNight(const std::string& path, std::span<const std::uint8_t> bytes);
    void reportFiling(const FilingResult& result);
    // The review the archive keeps of the night just filed or opened, applied.
    void takeArchivedReview();
    void reanalyse();
    // The password typed for the image shown when it unlocked the name; nothing otherwise.
    std::optional<std::string> unlockingPassword() const;
    void info(const char* title, const std::string& text);
    void warning(const char* title, const std::string& text);

    FormView& view_;
    const Clock& clock_;
    SettingsStore* settings_;
    hid::THidDeviceController* hid_;
    NightFiling* filing_ = nullptr;
    std::optional<archive::Id> filedNight_;
    bool enumerated_ = false;  // an enumeration has run: the read and write buttons follow it
    bool printing_ = false;    // the print dialog is open: the off-paper controls stay hidden
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for calls posted to the loop
    FormState state_;
    ChartModel chart_;
    // As the settings file holds them; nothing when it holds values that could not all be used,
    // which are then written back as used.
    std::optional<AnalysisParameters> storedParameters_;
    SettingsProblems settingsProblems_;  // until FormShow says them
    std::string lastFolder_;             // of the file last chosen in a file dialog
    std::string storedFolder_;           // as the settings file holds it
};

}  // namespace npt
