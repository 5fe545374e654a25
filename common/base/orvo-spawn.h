// External commands run from an argument vector, never through a shell, so that queue,
// user and path names reach the program as single arguments whatever they contain.
// This is the one way the programs start another program. Not QProcess: it reports through
// the event loop of the thread that owns it, which the service's workers and the watchdog
// never return to; and a program started detached here begins with default signal handling
// and an empty signal mask whatever the calling thread had blocked. (The scan daemon, which
// has no Qt, forks copies of itself for its connections and scans; it starts no program.)
#pragma once
#include <QString>
#include <QStringList>

// Runs argv[0] (searched in PATH) and waits for it. Standard input is /dev/null, standard
// error the caller's; standard output goes to stdoutFile (created or truncated) or to
// /dev/null when empty.
// Returns the exit status, or -1 when the program could not be run.
int RunCommand(const QStringList &argv, const QString &stdoutFile = QString());

// Starts the program at path (absolute, not searched) so that it outlives the caller: its
// own session, standard streams on /dev/null, and not a child the caller has to reap.
// Returns whether it was started.
bool StartDetached(const QString &path, const QStringList &args = QStringList());
