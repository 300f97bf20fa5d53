#pragma once

#include <QString>
#include <QStringList>

namespace ondrel {

// The program folder holds "ondrel.ini", "ondrel.log", the recording files and the folders
// "Data" and "Log". It is decided once at start-up and read everywhere through programFolder().

// Picks the folder: `home` when given (the --home option), else the executable's folder when it is
// writable (portable use) and not an installed prefix/bin, else `userDataFolder`. Creates the chosen folder when missing.
QString resolveProgramFolder(const QString& home, const QString& executableFolder,
                             const QString& userDataFolder);

// Reads --home DIR (or --home=DIR) from the command line; empty when absent.
QString homeOption(const QStringList& arguments);

// Resolves from the running application's arguments and stores the answer.
void initProgramFolder(const QStringList& arguments);

void setProgramFolder(const QString& folder);
QString programFolder();

// A path inside the program folder, joined portably ("Log/ondrel-2024315.log").
QString programPath(const QString& relative);

} // namespace ondrel
