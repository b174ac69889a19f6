#pragma once

// What several benchmarks share: a child process timed by the steady clock
// (the same clock that times the program's side), lines of
// /proc/self/status, and the median of runs.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

struct TRun {
    double Seconds = 0;
    double PeakMb = 0;
    bool Ok = false;
};

// Runs a program with its standard output in a file (when given), timed
// from the spawn to the end of the wait.
inline TRun Spawn(const QStringList& args, const QString& stdoutFile = QString()) {
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = stdoutFile.toLocal8Bit();
    if (!stdoutFile.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    TRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.PeakMb = double(usage.ru_maxrss) / 1024.0;
        run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// A line of /proc/self/status in kB (RssAnon: private memory now, VmHWM:
// peak resident set with the pages of a mapped database file); -1 if absent.
inline long StatusKb(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}
