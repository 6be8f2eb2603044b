#pragma once

#include <QString>

namespace skylark {

// The folder that holds DATA.dat, config.ini, servers.ini and Skin, without a trailing
// separator: the --data-dir folder when one is given, else the executable's folder when
// it is writable (a portable copy, a build tree) and not a system folder (/usr/...) of an
// installed program, else the per-user data folder.
QString resolveProgramDirectory(const QString& dataDirOption, const QString& executableDirectory,
                                const QString& perUserDirectory);

// The one per-user data folder of every program of Skylark (~/.local/share/skylark), the
// desktop's and the command line's alike, whatever the running program is called.
QString perUserDataDirectory();

// Creates the folder, and the missing folders above it, readable by their owner alone;
// true when it exists as a folder afterwards. An existing folder keeps its mode.
bool makePrivateDirectory(const QString& directory);

// resolveProgramDirectory for the running program; the folder is created when missing,
// by makePrivateDirectory.
// Needs a QCoreApplication.
QString programDirectory(const QString& dataDirOption = {});

} // namespace skylark
