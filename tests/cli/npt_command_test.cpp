// The npt tool run in process: output formats, passwords, export and what bad input gives.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>

#include "cli/npt_command.h"
#include "form_fixture.h"
#include "npt_version.h"

namespace npt {
namespace {

using namespace npt::test;

struct NptRun {
    int status;
    std::string out;
    std::string err;
};

NptRun npt(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runNpt(args, out, err);
    return {status, out.str(), err.str()};
}

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
    const auto diameters = r.out.substr(r.out.find("\"diameters\":["));
    // Each point is a two-number array; the diameters are plain numbers.
    EXPECT_EQ(countOf(points.substr(0, points.find("]]") + 2), "["), 4320u + 1);
    EXPECT_EQ(countOf(diameters, ",") + 1, 4320u);
}

TEST(NptShowTest, PasswordRightWrongAndMissing) {
    struct Case {
        std::vector<std::string> extra;
        bool nameShown;
    };
    const Case cases[] = {
        {{"--password", "1234"}, true},
        {{"--password=1234"}, true},
        {{"--password", "12"}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"show", kNightPassword, "--json"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const NptRun r = npt(args);
        SCOPED_TRACE(c.extra.empty() ? "no password" : c.extra.back());
        ASSERT_EQ(r.status, 0) << r.err;
        const bool shown = r.out.find("\"Name\":\"Петров Пётр Петрович\"") != std::string::npos;
        EXPECT_EQ(shown, c.nameShown);
        const bool warned = r.out.find(
                                "[\"Ошибка пароля!\",\"Неверный пароль! ФИО пациента "
                                "будет скрыто!\"]") != std::string::npos;
        EXPECT_EQ(warned, !c.nameShown);
        if (!c.nameShown) {
            EXPECT_NE(r.out.find("\"Name\":\"\""), std::string::npos);
        }
    }
}

TEST(NptShowTest, SummaryNamesPatientAndMessages) {
    const NptRun r = npt({"show", kNightPassword});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Возраст:          47"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Отсчётов:         4320, диаметр от 25 до 38,8 мм\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Uбат:             3,01 В\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Ошибка пароля!"), std::string::npos) << r.out;
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
        {{}, "не указана команда: show, export или read"},
        {{"show"}, "show: не указан файл записи"},
        {{"show", kNight, "extra"}, "show: лишний аргумент «extra»"},
        {{"export", kNight}, "export: не указан файл таблицы (.xlsx или .csv)"},
        {{"export", kNight, "out.csv", "--json"}, "ключ --json относится только к команде show"},
        {{"export", kNight, "out.txt"}, "имя таблицы «out.txt» должно оканчиваться на .xlsx"},
        {{"export", kNight, "out"}, "имя таблицы «out» должно оканчиваться на .xlsx"},
        {{"print", kNight}, "неизвестная команда «print»: нужна show, export или read"},
        {{"read"}, "read: не указан файл записи"},
        {{"read", "night.xlsx"}, "read: имя файла записи «night.xlsx» должно оканчиваться на .txt"},
        {{"read", "a.txt", "--json"}, "ключ --json относится только к команде show"},
        {{"read", "a.txt", "--timeout", "0"}, "--timeout: «0» — не число секунд от 1 до 3600"},
        {{"read", "a.txt", "--timeout=1.5"}, "--timeout: «1.5» — не число секунд"},
        {{"read", "a.txt", "--timeout"}, "после --timeout нужно число секунд"},
        {{"show", kNight, "--timeout", "5"}, "ключ --timeout относится только к команде read"},
        {{"show", kNight, "--password"}, "после --password нужен пароль"},
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
        EXPECT_NE(help.out.find("Использование:\n  npt show ФАЙЛ [--password ПАРОЛЬ] [--json]\n"),
                  std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("Код завершения: 0"), std::string::npos) << help.out;
    }
    const NptRun version = npt({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("npt ") + kVersion + "\n");
    EXPECT_TRUE(std::regex_match(kVersion, std::regex(R"(\d+\.\d+\.\d+)"))) << kVersion;
}

TEST(NptExportTest, ExportOntoTheRecordingItselfIsRefused) {
    const fs::path dir = scratchDir("cli");
    const fs::path night = writeImage(dir / "night.xlsx", makeImage());  // any name loads
    const auto before = readAll(night);
    fs::create_symlink("night.xlsx", dir / "link.csv");
    fs::create_hard_link(night, dir / "hard.csv");
    for (const fs::path& out :
         {night, dir / "link.csv", dir / "hard.csv", dir / "." / "night.xlsx"}) {
        SCOPED_TRACE(out.string());
        const NptRun r = npt({"export", night.string(), out.string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("это сам файл записи"), std::string::npos) << r.err;
        EXPECT_EQ(readAll(night), before);
    }
    EXPECT_EQ(entriesOf(dir), (std::set<std::string>{"night.xlsx", "link.csv", "hard.csv"}));
    EXPECT_EQ(npt({"export", night.string(), (dir / "table.csv").string()}).status, 0);
}

TEST(NptShowTest, SummaryKeepsEachFieldOnItsLine) {
    const fs::path dir = scratchDir("cli");
    const NptRun plain = npt({"show", writeImage(dir / "plain.txt", makeImage()).string()});
    ASSERT_EQ(plain.status, 0);
    // A name that would forge a line of the summary and clear the terminal.
    const std::string name = "Ив\nUбат:  9,99 В\x1b[2J";
    const fs::path odd =
        writeImage(dir / "odd\nname.txt", makeImage(ImageOptions().withName(name)));
    const NptRun r = npt({"show", odd.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lineCount(r.out), lineCount(plain.out)) << r.out;
    EXPECT_NE(r.out.find("ФИО пациента:     Ив\\nUбат:  9,99 В\\x1B[2J\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("odd\\nname.txt\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
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
