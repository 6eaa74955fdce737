#pragma once

#include <QString>

// The folder config.txt, log.txt and alarms.log live in. "-C DIR" wins; otherwise the current folder,
// except when that is the home folder or "/" - as for a program started from the desktop menu - where
// the program uses a folder of its own, $XDG_DATA_HOME/vemrok-alarm (~/.local/share/vemrok-alarm when
// XDG_DATA_HOME is unset or not absolute). Folders are compared as canonical paths, so a home reached
// through a symbolic link is still home.
QString chooseWorkingFolder(const QString &givenDir, const QString &currentDir, const QString &homeDir,
                            const QString &xdgDataHome);
