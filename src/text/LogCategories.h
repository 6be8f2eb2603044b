#pragma once

#include <QLoggingCategory>

// One logging category for each folder of src/, named "skylark.FOLDER". Debug messages are
// off unless QT_LOGGING_RULES turns them on (for example "skylark.monitor.debug=true");
// nothing logged ever holds a secret.
Q_DECLARE_LOGGING_CATEGORY(logText)
Q_DECLARE_LOGGING_CATEGORY(logStore)
Q_DECLARE_LOGGING_CATEGORY(logNet)
Q_DECLARE_LOGGING_CATEGORY(logSim)
Q_DECLARE_LOGGING_CATEGORY(logApp)
Q_DECLARE_LOGGING_CATEGORY(logMonitor)
Q_DECLARE_LOGGING_CATEGORY(logNotify)
Q_DECLARE_LOGGING_CATEGORY(logHistory)
Q_DECLARE_LOGGING_CATEGORY(logSession)
Q_DECLARE_LOGGING_CATEGORY(logCli)
Q_DECLARE_LOGGING_CATEGORY(logUi)
