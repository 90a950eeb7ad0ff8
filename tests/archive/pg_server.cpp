// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pg_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/pg_connection.h"
#include "archive/sql_connection.h"

namespace npt::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFolderPrefix = "/tmp/npt-pg-";
// The port only names the socket file, in a folder of the process's own.
constexpr const char* kPort = "5432";

// Who runs initdb and postgres: the tests' own user, or "nobody" when that is root, whom both
// refuse.
struct RunAs {
    bool drop = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

bool isProgram(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

bool holdsServerPrograms(const fs::path& folder) {
    return isProgram(folder / "initdb") && isProgram(folder / "postgres");
}

// Debian's /usr/lib/postgresql/<major>/bin of the newest major; else the folder of the initdb
// on PATH (through its links: Debian's /usr/bin holds none, a local one may link into the first).
fs::path serverPrograms() {
    long newest = -1;
    fs::path found;
    std::error_code error;
    for (fs::directory_iterator it("/usr/lib/postgresql", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        char* rest = nullptr;
        const long major = std::strtol(name.c_str(), &rest, 10);
        if (!name.empty() && *rest == '\0' && major > newest &&
            holdsServerPrograms(it->path() / "bin")) {
            newest = major;
            found = it->path() / "bin";
        }
    }
    if (!found.empty()) {
        return found;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path == nullptr ? "" : path;
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const fs::path initdb = fs::path(folders.substr(0, colon)) / "initdb";
        folders = colon == std::string_view::npos ? "" : folders.substr(colon + 1);
        if (isProgram(initdb)) {
            fs::path folder = fs::canonical(initdb, error).parent_path();
            if (!error && holdsServerPrograms(folder)) {
                return folder;
            }
        }
    }
    return {};
}

std::string lastLines(const fs::path& path, std::size_t count) {
    std::ifstream in(path);
    std::deque<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
            if (lines.size() > count) {
                lines.pop_front();
            }
        }
    }
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

// Starts the program with its output appended to the log, in the folder, as the user; a server
// that should die with this process gets SIGQUIT (its immediate shutdown) when the thread that
// started it ends. Returns the child's pid, or -1.
pid_t spawn(const std::vector<std::string>& command, const fs::path& folder, const fs::path& log,
            const RunAs& as, bool dieWithUs) {
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const std::string where = folder.string();
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) {
        return -1;
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        if (as.drop &&
            (::setgroups(0, nullptr) != 0 || ::setgid(as.gid) != 0 || ::setuid(as.uid) != 0)) {
            constexpr char kMessage[] = "cannot switch to the unprivileged user\n";
            (void)!::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
            ::_exit(126);
        }
        // After the change of user, which clears it.
        if (dieWithUs && (::prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || ::getppid() != parent)) {
            ::_exit(125);
        }
        // Nothing of a test's file-size limit for the server's files.
        rlimit size{};
        if (::getrlimit(RLIMIT_FSIZE, &size) == 0) {
            size.rlim_cur = size.rlim_max;
            ::setrlimit(RLIMIT_FSIZE, &size);
        }
        struct sigaction fileTooBig {};
        fileTooBig.sa_handler = SIG_DFL;
        ::sigaction(SIGXFSZ, &fileTooBig, nullptr);
        if (::chdir(where.c_str()) != 0) {
            ::_exit(124);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(in);
    return child;
}

// The child's exit status, or -1 when it did not exit normally.
int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunAs runAs(std::string& whyNot) {
    RunAs as;
    if (::geteuid() != 0) {
        return as;
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        whyNot = "тесты запущены от root, а пользователя nobody для сервера PostgreSQL нет";
        return as;
    }
    as.drop = true;
    as.uid = nobody->pw_uid;
    as.gid = nobody->pw_gid;
    return as;
}

bool alive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// The folders of test processes that died without removing theirs (their servers died with
// them). A folder without its owner's pid yet is one being made.
void removeAbandonedFolders() {
    std::error_code error;
    const fs::path tmp = fs::path(kFolderPrefix).parent_path();
    const std::string prefix(fs::path(kFolderPrefix).filename().string());
    for (fs::directory_iterator it(tmp, error), end; !error && it != end; it.increment(error)) {
        if (!it->path().filename().string().starts_with(prefix)) {
            continue;
        }
        std::ifstream ownerFile(it->path() / "owner");
        long owner = 0;
        if (ownerFile >> owner && owner > 0 && !alive(static_cast<pid_t>(owner))) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

}  // namespace

PgServer* PgServer::shared(std::string& whyNot) {
    static std::string failure;
    static const std::unique_ptr<PgServer> server = [] {
        std::unique_ptr<PgServer> made(new PgServer());
        failure = made->create();
        if (!failure.empty()) {
            made.reset();
        }
        return made;
    }();
    if (!server) {
        whyNot = failure;
    }
    return server.get();
}

std::string PgServer::create() {
    owner_ = ::getpid();
    programs_ = serverPrograms().string();
    if (programs_.empty()) {
        return "нет программ сервера PostgreSQL (initdb, postgres): установите пакет postgresql";
    }
    std::string whyNot;
    const RunAs as = runAs(whyNot);
    if (!whyNot.empty()) {
        return whyNot;
    }
    removeAbandonedFolders();

    std::string folder = std::string(kFolderPrefix) + "XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        return "не удалось создать папку для сервера PostgreSQL в /tmp";
    }
    folder_ = folder;
    std::ofstream(fs::path(folder_) / "owner") << owner_ << '\n';
    if (as.drop) {
        // The server's user owns the folder; root's tests reach the socket in it regardless.
        if (::chown(folder_.c_str(), as.uid, as.gid) != 0 || ::chmod(folder_.c_str(), 0755) != 0) {
            return "не удалось отдать папку " + folder_ + " пользователю nobody";
        }
    }

    // No sync of the new cluster's files (-N): nothing survives a crash of the machine anyway.
    const fs::path log = fs::path(folder_) / "initdb.log";
    const pid_t initdb = spawn({programs_ + "/initdb", "-D", folder_ + "/data", "-U", "npt",
                                "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8", "-N"},
                               folder_, log, as, /*dieWithUs=*/false);
    if (initdb < 0 || waitFor(initdb) != 0) {
        return "initdb не создал кластер PostgreSQL:\n" + lastLines(log, 5);
    }
    return launch(/*syncToDisk=*/false);
}

std::string PgServer::launch(bool syncToDisk) {
    std::string ignored;
    const RunAs as = runAs(ignored);
    const fs::path log = fs::path(folder_) / "server.log";
    postmaster_ = spawn({programs_ + "/postgres", "-D", folder_ + "/data", "-k", folder_, "-p",
                         kPort, "-c", "listen_addresses=", "-c", "max_connections=30", "-c",
                         syncToDisk ? "fsync=on" : "fsync=off"},
                        folder_, log, as, /*dieWithUs=*/true);
    if (postmaster_ < 0) {
        return "не удалось запустить postgres";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(postmaster_, &status, WNOHANG) == postmaster_) {
            postmaster_ = -1;
            return "сервер PostgreSQL остановился при запуске:\n" + lastLines(log, 5);
        }
        try {
            archive::openPostgresql(uri("postgres"));
            return {};
        } catch (const archive::ArchiveError&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return "сервер PostgreSQL не принял подключения за 30 с:\n" + lastLines(log, 5);
}

PgServer::~PgServer() {
    if (::getpid() != owner_) {
        return;  // a forked copy of the test process: the server and folder are its parent's
    }
    stop();
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

std::string PgServer::freshDatabase() {
    const std::string name = "npt_" + std::to_string(++databases_);
    archive::openPostgresql(uri("postgres"))->execute("CREATE DATABASE " + name);
    return uri(name);
}

std::string PgServer::uri(const std::string& database, const std::string& user) const {
    return "postgresql://" + user + "@/" + database + "?host=" + folder_ + "&port=" + kPort;
}

void PgServer::stop() {
    if (postmaster_ > 0) {
        ::kill(postmaster_, SIGQUIT);
        waitFor(postmaster_);
        postmaster_ = -1;
    }
}

void PgServer::start(bool syncToDisk) {
    if (postmaster_ > 0) {
        return;
    }
    const std::string whyNot = launch(syncToDisk);
    if (!whyNot.empty()) {
        throw std::runtime_error(whyNot);
    }
}

std::string PgServer::unreachableUri() {
    return "postgresql://npt@/postgres?host=/nonexistent/npt-pg&port=" + std::string(kPort);
}

}  // namespace npt::testing
