#include "platform/spreadsheet/office/OfficeProcess.h"

#include "platform/spreadsheet/SpreadsheetError.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Frees the spawn attributes whatever leaves the constructor.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

} // namespace

OfficeProcess::OfficeProcess(const QString& program, const QStringList& arguments, const QString& tempFolder)
{
    SpawnSetup setup;
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> texts{path};
    for (const QString& argument : arguments)
        texts.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    // The bootstrap variable set for this process's own runtime is none of the office's business.
    std::vector<char*> environment;
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "URE_BOOTSTRAP=", 14) != 0 && std::strncmp(*entry, "TMPDIR=", 7) != 0)
            environment.push_back(*entry);
    }
    QByteArray temp = "TMPDIR=" + QFile::encodeName(tempFolder);
    environment.push_back(temp.data());
    environment.push_back(nullptr);

    const int error = posix_spawn(&pid_, path.constData(), &setup.actions, &setup.attributes, argv.data(),
                                  environment.data());
    if (error != 0)
        throw SpreadsheetError(QStringLiteral("Cannot start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(error))));
}

bool OfficeProcess::Ended(bool* failed)
{
    if (!ended_) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            ended_ = true;
            failed_ = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        }
    }
    if (failed)
        *failed = failed_;
    return ended_;
}

void OfficeProcess::EndWithin(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!Ended() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (Ended())
        return;
    // The office runs as a child of the started process, in its process group.
    kill(-pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    failed_ = true;
}
