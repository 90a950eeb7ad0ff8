// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The npt tool run in process: output formats, passwords, export and what bad input gives.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>

#include "analysis/analysis_text.h"
#include "app/settings_file.h"
#include "cli/npt_command.h"
#include "form_fixture.h"
#include "npt_run.h"
#include "npt_version.h"
#include "os/file_error.h"
#include "records/spreadsheet.h"
#include "records/workbook_check.h"
#include "support/ramped_rise.h"
#include "support/sheet_cells.h"

namespace npt {
namespace {

using namespace npt::test;

const std::string kNight = std::string(NPT_EXAMPLES_DIR) + "/night.txt";
const std::string kNightPassword = std::string(NPT_EXAMPLES_DIR) + "/night-password.txt";

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

std::size_t lineCount(const std::string& text) {
    return countOf(text, "\n");
}

TEST(NptShowTest, JsonHoldsFieldsMessagesPointsAndDiameters) {
    const NptRun r = npt({"show", kNight, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
    EXPECT_EQ(lineCount(r.out), 1u);
    for (const char* field :
         {"\"Name\":\"Петров Пётр Петрович\"", "\"Old\":\"47\"", "\"Tscan\":\"10\"",
          "\"Date\":\"08.12.26\"", "\"TimeStart\":\"22:00\"", "\"TimeEnd\":\"10:00\"",
          "\"TimeNow\":\"21:30\"", "\"Ubat\":\"3,01 В\"", "\"messages\":[]"}) {
        EXPECT_NE(r.out.find(field), std::string::npos) << field;
    }
    const auto points = r.out.substr(r.out.find("\"points\":["));
    auto diameters = r.out.substr(r.out.find("\"diameters\":["));
    diameters = diameters.substr(0, diameters.find(']'));
    // Each point is a two-number array; the diameters are plain numbers.
    EXPECT_EQ(countOf(points.substr(0, points.find("]]") + 2), "["), 4320u + 1);
    EXPECT_EQ(countOf(diameters, ",") + 1, 4320u);
}

TEST(NptShowTest, PasswordRightWrongAndMissing) {
    const std::string wrong =
        R"("messages":[["Ошибка пароля!","Неверный пароль! ФИО пациента будет скрыто!"]])";
    struct Case {
        std::vector<std::string> extra;
        std::string messages;  // as the JSON holds them; the name is shown when there are none
    };
    const Case cases[] = {
        {{"--password", "1234"}, R"("messages":[])"},
        {{"--password=1234"}, R"("messages":[])"},
        {{"--password", "12"}, wrong},
        {{"--password="}, wrong},
        // Nobody typed a wrong password: the recording is protected and the option was left out.
        {{},
         R"("messages":[["Пароль не указан","Запись защищена паролем; без --password ФИО )"
         R"(пациента скрыто."]])"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"show", kNightPassword, "--json"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const NptRun r = npt(args);
        SCOPED_TRACE(c.extra.empty() ? "no password" : c.extra.back());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.messages), std::string::npos) << r.out.substr(0, 300);
        const bool shown = c.messages == R"("messages":[])";
        EXPECT_EQ(r.out.find("\"Name\":\"Петров Пётр Петрович\"") != std::string::npos, shown);
        EXPECT_EQ(r.out.find("\"Name\":\"\"") != std::string::npos, !shown);
    }
    // A recording without a password needs none, and says nothing of it.
    const NptRun open = npt({"show", kNight, "--json"});
    EXPECT_NE(open.out.find(R"("messages":[])"), std::string::npos);
}

TEST(NptShowTest, SummaryNamesPatientAndMessages) {
    const NptRun r = npt({"show", kNightPassword});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Возраст:          47"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Отсчётов:         4320, диаметр от 25 до 38,8 мм\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Uбат:             3,01 В\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Сообщение:        Пароль не указан: Запись защищена паролем; без "
                         "--password ФИО пациента скрыто.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Петров"), std::string::npos) << r.out;
}

TEST(NptExportTest, CsvAndWorkbook) {
    const fs::path dir = scratchDir("cli");
    const NptRun csv = npt({"export", kNight, (dir / "night.csv").string()});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "");
    const auto bytes = readAll(dir / "night.csv");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(lineCount(text), 4321u);
    // RFC 4180 lines end in CR LF.
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "№пп,Время,\"Диаметр,мм\"\r\n");
    EXPECT_NE(text.find("\n0,22:00:00,"), std::string::npos);
    // Past midnight the times start again from 00:00:00.
    EXPECT_NE(text.find("\n720,00:00:00,"), std::string::npos);
    EXPECT_NE(text.find("\n721,00:00:10,"), std::string::npos);
    EXPECT_NE(text.find("\n4319,09:59:50,"), std::string::npos);

    const NptRun xlsx = npt({"export", kNight, (dir / "night.xlsx").string()});
    ASSERT_EQ(xlsx.status, 0) << xlsx.err;
    const auto book = readAll(dir / "night.xlsx");
    ASSERT_GT(book.size(), 2u);
    EXPECT_EQ(book[0], 'P');
    EXPECT_EQ(book[1], 'K');
}

TEST(NptExportTest, LoadMessagesGoToStderrAndHiddenNameStaysOut) {
    const fs::path dir = scratchDir("cli");
    const NptRun r = npt({"export", kNightPassword, (dir / "n.csv").string(), "--password", "x"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "npt: Ошибка пароля!: Неверный пароль! ФИО пациента будет скрыто!\n");
    const auto bytes = readAll(dir / "n.csv");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("Петров"), std::string::npos);
}

TEST(NptHiddenNameTest, NoOutputCarriesTheNameWithoutItsPassword) {
    // The 22nd letter «я» of the second name is 0xFF at offset 100, where the passport-presence
    // test looks for erased flash.
    for (const std::string name : {"Петров Пётр Петрович", "Александрова Анастасия"}) {
        SCOPED_TRACE(name);
        const std::string surname = name.substr(0, name.find(' '));
        const fs::path dir = scratchDir("cli");
        const std::string night =
            writeImage(dir / "night.txt",
                       makeImage(ImageOptions().withName(name).withPassword("1234")))
                .string();
        std::vector<std::pair<std::string, std::string>> outputs;  // what, its text
        outputs.emplace_back("npt show", npt({"show", night}).out);
        outputs.emplace_back("npt show --json", npt({"show", night, "--json"}).out);
        for (const char* table : {"table.csv", "table.xlsx"}) {
            ASSERT_EQ(npt({"export", night, (dir / table).string()}).status, 0);
        }
        const auto csv = readAll(dir / "table.csv");
        outputs.emplace_back("csv", std::string(csv.begin(), csv.end()));
        const auto parts = zipParts(readAll(dir / "table.xlsx"));
        ASSERT_TRUE(parts);
        for (const auto& [part, text] : *parts) {
            outputs.emplace_back(part, text);
        }
        // The window: the data file, in the code page the recorder stores, and the report.
        FormRig rig;
        rig.view.passwordAnswers.push_back(std::string("12"));
        ASSERT_TRUE(rig.form.loadRecording(night));
        ASSERT_TRUE(rig.form.saveDataFile((dir / "saved.txt").string()));
        const auto saved = readAll(dir / "saved.txt");
        const auto stored = cp1251::encode(surname).value();
        EXPECT_EQ(std::search(saved.begin(), saved.end(), stored.begin(), stored.end()),
                  saved.end())
            << "the data file";
        const NightReport report = rig.form.nightReport();
        EXPECT_TRUE(report.nameHidden);
        outputs.emplace_back("report", report.patientName);
        for (const auto& [what, text] : outputs) {
            EXPECT_EQ(text.find(surname), std::string::npos) << what;
        }
    }
}

TEST(NptExportTest, UnwritableTargetFailsWithOneLine) {
    const fs::path dir = scratchDir("cli");
    fs::create_directories(dir / "out.csv");
    const NptRun r = npt({"export", kNight, (dir / "out.csv").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find((dir / "out.csv").string()), std::string::npos) << r.err;
}

std::vector<std::uint8_t> randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

TEST(NptBadInputTest, UnloadableFilesFailWithOneLineNamingTheFile) {
    const fs::path dir = scratchDir("cli");
    writeAll(dir / "empty.txt", {});
    writeAll(dir / "short.txt", randomBytes(MemoryImage::kSize, 1));
    fs::create_directories(dir / "folder.txt");
    for (const char* name : {"empty.txt", "short.txt", "folder.txt", "missing.txt"}) {
        SCOPED_TRACE(name);
        const std::string path = (dir / name).string();
        for (const auto& args :
             {std::vector<std::string>{"show", path},
              std::vector<std::string>{"show", path, "--json"},
              std::vector<std::string>{"export", path, (dir / "o.csv").string()}}) {
            const NptRun r = npt(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(lineCount(r.err), 1u) << r.err;
            EXPECT_EQ(r.err.rfind("npt: ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "o.csv"));
}

TEST(NptBadInputTest, RandomBytesOfFullLengthAreDecodedAsAnImage) {
    const fs::path dir = scratchDir("cli");
    for (std::size_t size : {kDataFileSize, std::size_t{10000}}) {
        for (unsigned seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(testing::Message() << size << " bytes, seed " << seed);
            const fs::path file = dir / "random.txt";
            writeAll(file, randomBytes(size, seed));
            const NptRun r = npt({"show", file.string(), "--json"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(lineCount(r.out), 1u);
            EXPECT_NE(r.out.find("\"verdict\":\"данные не похожи на запись датчика: "),
                      std::string::npos);
            EXPECT_NE(r.out.find("\"recording\":false,\"unusable\":[]}"), std::string::npos);
            EXPECT_EQ(r.out.find("\"start_s\""), std::string::npos) << "an episode";
            const NptRun e = npt({"export", file.string(), (dir / "r.csv").string()});
            ASSERT_EQ(e.status, 0) << e.err;
        }
    }
}

TEST(NptUsageTest, WrongUsageSaysWhatWasWrongAndExitsWithTwo) {
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{}, "не указана команда: show, export, report или read"},
        {{"show"}, "show: не указан файл записи"},
        {{"show", kNight, "extra"}, "show: лишний аргумент «extra»"},
        {{"export", kNight}, "export: не указан файл таблицы (.xlsx, .csv) или EDF+ (.edf)"},
        {{"export", kNight, "out.csv", "--json"}, "ключ --json относится только к команде show"},
        {{"export", kNight, "out.txt"},
         "имя файла «out.txt» должно оканчиваться на .xlsx, .csv или .edf"},
        {{"export", kNight, "out"}, "имя файла «out» должно оканчиваться на .xlsx, .csv или .edf"},
        {{"print", kNight}, "неизвестная команда «print»: нужна show, export, report или read"},
        {{"read"}, "read: не указан файл записи"},
        {{"read", "night.xlsx"}, "read: имя файла записи «night.xlsx» должно оканчиваться на .txt"},
        {{"read", "a.txt", "--json"}, "ключ --json относится только к команде show"},
        {{"read", "a.txt", "--timeout", "0"}, "--timeout: «0» — не число секунд от 1 до 3600"},
        {{"read", "a.txt", "--timeout=1.5"}, "--timeout: «1.5» — не число секунд"},
        {{"read", "a.txt", "--timeout"}, "после --timeout нужно число секунд"},
        {{"show", kNight, "--timeout", "5"}, "ключ --timeout относится только к команде read"},
        {{"show", kNight, "--password"}, "после --password нужен пароль"},
        {{"read", "a.txt", "--password", "ПарольДлинный"},
         "--password: пароль записи — не длиннее 10 символов"},
        {{"show", kNight, "--verbose"}, "неизвестный ключ «--verbose»"},
        {{"show\nforged line"}, "неизвестная команда «show\\nforged line»"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        const NptRun r = npt(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        const std::string first = r.err.substr(0, r.err.find('\n'));
        EXPECT_EQ(first.rfind("npt: ", 0), 0u) << r.err;
        EXPECT_NE(first.find(c.said), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Использование:\n  npt show ФАЙЛ"), std::string::npos) << r.err;
    }
}

TEST(NptUsageTest, HelpAndVersion) {
    for (const auto& args : {std::vector<std::string>{"--help"},
                             {"-h"},
                             {"show", "--help"},
                             {"--unknown", "--help"}}) {
        const NptRun help = npt(args);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_NE(
            help.out.find(
                "Использование:\n  npt show ФАЙЛ [--password ПАРОЛЬ] [--json] [ключи анализа]\n"),
            std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("Код завершения: 0"), std::string::npos) << help.out;
    }
    const NptRun version = npt({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("npt ") + kVersion + "\n" + kLicenseNotice);
    EXPECT_NE(version.out.find("Лицензия GPL-3.0-or-later"), std::string::npos) << version.out;
    EXPECT_TRUE(std::regex_match(kVersion, std::regex(R"(\d+\.\d+\.\d+)"))) << kVersion;
}

TEST(NptExportTest, ExportOntoTheRecordingItselfIsRefused) {
    const fs::path dir = scratchDir("cli");
    const fs::path night = writeImage(dir / "night.xlsx", makeImage());  // any name loads
    const auto before = readAll(night);
    fs::create_hard_link(night, dir / "hard.csv");
    std::vector<fs::path> sameFile = {night, dir / "hard.csv", dir / "." / "night.xlsx"};
    std::set<std::string> entries = {"night.xlsx", "hard.csv"};
#ifndef _WIN32
    // Windows makes symbolic links for administrators only.
    fs::create_symlink("night.xlsx", dir / "link.csv");
    sameFile.push_back(dir / "link.csv");
    entries.insert("link.csv");
#endif
    for (const fs::path& out : sameFile) {
        SCOPED_TRACE(out.string());
        const NptRun r = npt({"export", night.string(), out.string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("это сам файл записи"), std::string::npos) << r.err;
        EXPECT_EQ(readAll(night), before);
    }
    EXPECT_EQ(entriesOf(dir), entries);
    EXPECT_EQ(npt({"export", night.string(), (dir / "table.csv").string()}).status, 0);
}

TEST(NptShowTest, SummaryKeepsEachFieldOnItsLine) {
    const fs::path dir = scratchDir("cli");
    const NptRun plain = npt({"show", writeImage(dir / "plain.txt", makeImage()).string()});
    ASSERT_EQ(plain.status, 0);
    // A name that would forge a line of the summary and clear the terminal.
    const std::string name = "Ив\nUбат:  9,99 В\x1b[2J";
#ifdef _WIN32
    // No Windows file name holds a line feed: there only the patient's name tries it.
    const std::string fileName = "odd name.txt";
    const std::string fileNameShown = fileName;
#else
    const std::string fileName = "odd\nname.txt";
    const std::string fileNameShown = "odd\\nname.txt";
#endif
    const fs::path odd = writeImage(dir / fileName, makeImage(ImageOptions().withName(name)));
    const NptRun r = npt({"show", odd.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lineCount(r.out), lineCount(plain.out)) << r.out;
    EXPECT_NE(r.out.find("ФИО пациента:     Ив\\nUбат:  9,99 В\\x1B[2J\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(fileNameShown + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

TEST(NptAnalysisTest, SummaryTableAndWhatCannotBeMeasured) {
    const NptRun r = npt({"show", kNightPassword});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Анализ:           Эпизодов: 5 · всего "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Параметры:        порог 3,0 мм · не короче 5 мин"), std::string::npos);
    EXPECT_NE(r.out.find("Качество записи:  данные пригодны для анализа\n"), std::string::npos);
    EXPECT_NE(r.out.find("Записано:         12 ч\n"), std::string::npos) << r.out;
    // The table: a header and five rows, times of night, decimal commas.
    const auto table = r.out.substr(r.out.find("Эпизоды:\n"));
    EXPECT_EQ(table.find("№  Начало  Конец  Длительность"), std::string("Эпизоды:\n").size())
        << table;
    EXPECT_TRUE(std::regex_search(table, std::regex("\n1   23:3\\d  00:0\\d .* 26,\\d .*\n2 ")))
        << table;
    EXPECT_EQ(countOf(table, "\n"), 1 + 1 + 5 + 1u) << table;
    EXPECT_NE(r.out.find("ригидность не измеряется"), std::string::npos);
    EXPECT_EQ(r.out.find("Петров"), std::string::npos) << "the name stays hidden";
}

// A night with an hour the recorder skipped: the JSON, the plain summary and the workbook's
// sheet name the same stretch, at the same times, and the same time analysed.
TEST(NptAnalysisTest, AStretchLeftOutIsTheSameInEveryOutput) {
    // Resting bytes 82-84 with one rise of 8 mm, 3 mm or more above rest over samples 600-779;
    // samples 1000-1359 (00:46:40 to 01:46:40 of a night from 22:00) skipped; nothing after
    // sample 3000.
    MemoryImage image = makeImage();
    for (std::size_t i = 0; i < ImageOffsets::kSampleCount; ++i) {
        const bool skipped = (i >= 1000 && i < 1360) || i >= 3000;
        image[ImageOffsets::kSamples + i] =
            skipped ? kErasedByte
                    : static_cast<std::uint8_t>(82 + (i % 4 == 2 ? 2 : i % 2) +
                                                test::rampedRise(i, 600, 780));
    }
    const fs::path dir = scratchDir("cli");
    const std::string night = writeImage(dir / "night.txt", image).string();

    const NptRun json = npt({"show", night, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"unusable\":[{\"start_s\":10000,\"end_s\":13600,\"reason\":"
                            "\"erased\",\"text\":\"пропуск записи\"}]}"),
              std::string::npos)
        << json.out;
    std::smatch analysed;
    ASSERT_TRUE(std::regex_search(json.out, analysed, std::regex("\"analysed_s\":(\\d+),")));
    const int analysedS = std::stoi(analysed[1]);
    EXPECT_EQ(analysedS, 30000 - 3600);

    const NptRun plain = npt({"show", night});
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const std::string& line : std::vector<std::string>{
             "Анализ:           Эпизодов: 1 · всего 30 мин · макс. прирост 8,0 мм · исключено из "
             "анализа 1 ч\n",
             "Записано:         8 ч 20 мин\n",
             "Проанализировано: " + durationText(analysedS) + "\n",
             "Исключено из анализа:\n  00:46–01:46  1 ч  пропуск записи\nЭпизоды:\n"}) {
        EXPECT_NE(plain.out.find(line), std::string::npos) << line << plain.out;
    }

    ASSERT_EQ(npt({"export", night, (dir / "night.xlsx").string()}).status, 0);
    if (!openpyxlAvailable()) {
        GTEST_SKIP() << "python3-openpyxl is not installed";
    }
    auto cells = sheetCells(dir / "night.xlsx", kAnalysisSheetName);
    std::string leftOut, analysedRow;
    for (const auto& [ref, value] : cells) {
        if (value.front() == "Исключено из анализа") {
            leftOut = std::to_string(std::stoi(ref.substr(1)) + 2);
        }
        if (value.front() == "Проанализировано") {
            analysedRow = ref.substr(1);
        }
    }
    ASSERT_FALSE(leftOut.empty());
    EXPECT_EQ(cells["B" + analysedRow][0], repr(analysedS / 86400.0));
    EXPECT_EQ(cells["A" + leftOut][0], "пропуск записи");
    EXPECT_EQ(cells["B" + leftOut][0], repr((22 * 3600 + 10000 - 86400) / 86400.0));
    EXPECT_EQ(cells["C" + leftOut][0], repr((22 * 3600 + 13600 - 86400) / 86400.0));
    EXPECT_NEAR(std::stod(cells["E" + leftOut][0]), 10000 / 60.0, 1e-9);  // minutes from the start
}

TEST(NptAnalysisTest, BytesThatAreNoRecordingAreShownButNotAnalysedNorReported) {
    const std::string notes = std::string(NPT_EXAMPLES_DIR) + "/../README.md";
    const std::string why = "данные не похожи на запись датчика";
    const std::string reason = "в начале нет блока подтверждения датчика";
    const NptRun shown = npt({"show", notes});
    ASSERT_EQ(shown.status, 0) << shown.err;
    // Said before the fields, which are only the text's bytes read as a passport.
    EXPECT_NE(shown.out.find("\nВнимание:         " + why + " (" + reason +
                             "), анализа нет\n"
                             "ФИО пациента:"),
              std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("Анализ:           Анализ невозможен: " + why + ": " + reason + "\n"),
              std::string::npos)
        << shown.out;
    EXPECT_EQ(shown.out.find("Записано:"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("Эпизоды:"), std::string::npos) << shown.out;
    EXPECT_EQ(npt({"show", kNight}).out.find("Внимание:"), std::string::npos);

    const NptRun json = npt({"show", notes, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"verdict\":\"" + why + ": " + reason +
                            "\",\"recording\":false,\"unusable\":[]}"),
              std::string::npos)
        << json.out;
    EXPECT_NE(npt({"show", kNight, "--json"}).out.find("\"recording\":true,\"unusable\":[]}"),
              std::string::npos);

    const fs::path dir = scratchDir("cli");
    std::vector<NightReport> written;
    const ReportWriter writer = [&](const std::string&, const NightReport& report) {
        written.push_back(report);
    };
    std::ostringstream out, err;
    EXPECT_EQ(runNpt({"report", notes, (dir / "notes.pdf").string()}, out, err, writer), 1);
    EXPECT_EQ(err.str(), "npt: Отчёт не составлен: " + why + " (" + reason + ").\n");
    EXPECT_TRUE(written.empty());
    EXPECT_FALSE(fs::exists(dir / "notes.pdf"));
}

TEST(NptAnalysisTest, OptionsSetTheParameters) {
    struct Case {
        std::vector<std::string> options;
        const char* parameters;  // as the JSON shows them
        std::size_t episodes;
    };
    const Case cases[] = {
        {{}, R"("threshold_mm":3,"min_duration_s":300,"merge_gap_s":120,"full_threshold_mm":5)", 5},
        {{"--threshold", "7,0", "--full=9.5"},
         R"("threshold_mm":7,"min_duration_s":300,"merge_gap_s":120,"full_threshold_mm":9.5)",
         4},
        {{"--min-duration=1,5", "--merge-gap", "0"},
         R"("threshold_mm":3,"min_duration_s":90,"merge_gap_s":0,"full_threshold_mm":5)",
         5},
        // Trailing zeros and a quarter of a minute are exact: a tenth of a mm, whole seconds.
        {{"--threshold", "2,50", "--full=20,00", "--min-duration=1,25"},
         R"("threshold_mm":2.5,"min_duration_s":75,"merge_gap_s":120,"full_threshold_mm":20)",
         5},
        {{"--min-duration", "30"},
         R"("threshold_mm":3,"min_duration_s":1800,"merge_gap_s":120,"full_threshold_mm":5)",
         3},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"show", kNight, "--json"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(c.parameters);
        const NptRun r = npt(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("\"parameters\":{") + c.parameters + "}"),
                  std::string::npos);
        EXPECT_EQ(countOf(r.out, "\"start_s\":"), c.episodes);
    }
}

// A threshold left in the window's settings from an earlier session: the line under its chart
// says the parameters are changed, and npt says the same line with the same threshold, never
// with its defaults.
TEST(NptAnalysisTest, ChangedParametersAreSaidInTheWindowsLine) {
    const fs::path file = scratchDir("cli") / "rdp.ini";
    const std::string text = "[analysis]\nthreshold_mm=4,5\n";
    writeAll(file, std::vector<std::uint8_t>(text.begin(), text.end()));
    IniSettingsFile settings({file.string(), ""});
    ScriptedView view;
    TTMForm form(view, testClock(), &settings);
    form.FormCreate();
    ASSERT_TRUE(form.loadRecording(kNight));
    const std::string line = view.analysisShown().summaryLine;

    const NptRun defaults = npt({"show", kNight});
    const NptRun changed = npt({"show", kNight, "--threshold=4,5"});
    ASSERT_EQ(defaults.status, 0) << defaults.err;
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(defaults.out.find("параметры изменены"), std::string::npos);
    EXPECT_NE(changed.out.find("Анализ:           " + line + "\n"), std::string::npos)
        << changed.out;
}

TEST(NptAnalysisTest, ParametersThatCannotBeUsedAreWrongUsage) {
    struct Case {
        std::vector<std::string> options;
        const char* said;
    };
    const Case cases[] = {
        {{"--threshold", "три"}, "--threshold: «три» — не число"},
        {{"--threshold", ""}, "--threshold: «» — не число"},
        {{"--full=5mm"}, "--full: «5mm» — не число"},
        {{"--merge-gap"}, "после --merge-gap нужно число"},
        {{"--threshold", "0,5"}, "Порог эпизода должен быть от 1,0 до 15,0 мм."},
        {{"--threshold", "inf"}, "--threshold: «inf» — не число"},
        {{"--threshold", "2,55"}, "--threshold: «2,55» — задаётся с точностью до 0,1 мм"},
        {{"--full=7.65"}, "--full: «7.65» — задаётся с точностью до 0,1 мм"},
        // A hair beyond a limit is no tenth either, and would have passed as the limit.
        {{"--threshold", "0,99999999999"},
         "--threshold: «0,99999999999» — задаётся с точностью до 0,1 мм"},
        {{"--full", "20,0000000001"}, "--full: «20,0000000001» — задаётся с точностью до 0,1 мм"},
        {{"--full=20,1"},
         "Прирост для учёта времени должен быть от 3,0 до 20,0 мм (не ниже порога эпизода)."},
        {{"--min-duration", "0,99999"},
         "--min-duration: «0,99999» — задаётся с точностью до секунды"},
        {{"--merge-gap=30,001"}, "--merge-gap: «30,001» — задаётся с точностью до секунды"},
        {{"--merge-gap=30,05"}, "Промежуток объединения эпизодов должен быть от 0 мин до 30 мин."},
        {{"--min-duration", "0,5"},
         "Минимальная длительность эпизода должна быть от 1 мин до 1 ч."},
        {{"--merge-gap", "-1"}, "Промежуток объединения эпизодов должен быть от 0 мин до 30 мин."},
        {{"--threshold", "6", "--full", "5"},
         "Прирост для учёта времени должен быть от 6,0 до 20,0 мм (не ниже порога эпизода)."},
    };
    for (const std::string command : {"show", "export", "report"}) {
        for (const Case& c : cases) {
            std::vector<std::string> args{command, kNight};
            if (command != "show") {
                args.push_back(command == "report" ? "out.pdf" : "out.csv");
            }
            args.insert(args.end(), c.options.begin(), c.options.end());
            SCOPED_TRACE(command + " " + c.said);
            const NptRun r = npt(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.substr(0, r.err.find('\n')), std::string("npt: ") + c.said);
        }
    }
}

TEST(NptAnalysisTest, ReportUsage) {
    const fs::path dir = scratchDir("cli");
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const Case cases[] = {
        {{"report", kNight}, "report: не указан файл отчёта (.pdf)"},
        {{"report", kNight, "out.png"}, "report: имя отчёта «out.png» должно оканчиваться на .pdf"},
        {{"report", kNight, "out.pdf", "--json"}, "ключ --json относится только к команде show"},
        {{"report", kNight, kNight}, "имя отчёта «" + kNight + "» должно оканчиваться на .pdf"},
        {{"show", kNight, "--doctor", "Сидоров"},
         "ключ --doctor относится только к команде report"},
        {{"report", kNight, "out.pdf", "--doctor"}, "после --doctor нужно ФИО врача"},
        {{"report", kNight, "out.pdf", "--doctor=Сидоров\nПациент: Другой"},
         "--doctor: в ФИО врача «Сидоров\\nПациент: Другой» есть управляющие символы"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const NptRun r = npt(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.substr(0, r.err.find('\n')).find(c.said), std::string::npos) << r.err;
    }
    // A build without the graphical part says so, and writes nothing.
    const NptRun r = npt({"report", kNight, (dir / "night.pdf").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "npt: report: эта сборка npt сделана без графической части (NPT_BUILD_GUI=OFF), "
              "отчёт PDF ею не рисуется\n");
    EXPECT_TRUE(entriesOf(dir).empty());

    // With a writer: what it was given, and its failure as any other failed output.
    std::vector<NightReport> written;
    ReportWriter writer = [&](const std::string& path, const NightReport& report) {
        if (path.find("full") != std::string::npos) {
            throw FileError(path, "нет места на диске",
                            "Не удалось сохранить отчёт «" + path + "»: нет места на диске.");
        }
        written.push_back(report);
    };
    std::ostringstream out, err;
    EXPECT_EQ(runNpt({"report", kNightPassword, (dir / "a.pdf").string(), "--threshold=7",
                      "--full=9", "--doctor", "Сидоров С. С."},
                     out, err, writer),
              0)
        << err.str();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0].nameHidden);
    EXPECT_EQ(written[0].patientName, "");
    EXPECT_EQ(written[0].analysis.parameters.threshold_mm, 7.0);
    EXPECT_EQ(written[0].analysis.episodes.size(), 4u);
    EXPECT_EQ(written[0].doctor, "Сидоров С. С.");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(),
              "npt: Пароль не указан: Запись защищена паролем; без --password ФИО пациента "
              "скрыто.\n")
        << "load messages on stderr";

    std::ostringstream out2, err2;
    EXPECT_EQ(runNpt({"report", kNight, (dir / "full.pdf").string()}, out2, err2, writer), 1);
    EXPECT_EQ(err2.str(), "npt: Не удалось сохранить отчёт «" + (dir / "full.pdf").string() +
                              "»: нет места на диске.\n");
}

// A stream whose every write fails, like standard output on a full disk.
class FailingBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(NptShowTest, OutputThatCannotBeWrittenIsAnError) {
    for (const auto& args : {std::vector<std::string>{"show", kNight},
                             {"show", kNight, "--json"},
                             {"--help"},
                             {"--version"}}) {
        SCOPED_TRACE(args.back());
        FailingBuffer failing;
        std::ostream out(&failing);
        std::ostringstream err;
        EXPECT_EQ(runNpt(args, out, err), 1);
        EXPECT_EQ(err.str().rfind("npt: не удалось вывести результат: ", 0), 0u) << err.str();
        EXPECT_EQ(lineCount(err.str()), 1u);
    }
}

}  // namespace
}  // namespace npt
