#include "LogCategories.h"

Q_LOGGING_CATEGORY(logText, "skylark.text", QtInfoMsg)
Q_LOGGING_CATEGORY(logStore, "skylark.store", QtInfoMsg)
Q_LOGGING_CATEGORY(logNet, "skylark.net", QtInfoMsg)
Q_LOGGING_CATEGORY(logSim, "skylark.sim", QtInfoMsg)
Q_LOGGING_CATEGORY(logApp, "skylark.app", QtInfoMsg)
Q_LOGGING_CATEGORY(logMonitor, "skylark.monitor", QtInfoMsg)
Q_LOGGING_CATEGORY(logNotify, "skylark.notify", QtInfoMsg)
Q_LOGGING_CATEGORY(logHistory, "skylark.history", QtInfoMsg)
Q_LOGGING_CATEGORY(logSession, "skylark.session", QtInfoMsg)
Q_LOGGING_CATEGORY(logCli, "skylark.cli", QtInfoMsg)
Q_LOGGING_CATEGORY(logUi, "skylark.ui", QtInfoMsg)
