#pragma once

// Levels an action gives to ILogger::Log.
enum LogLevel {
    LogLevelInfo = 2,
    LogLevelWarning = 3,
    LogLevelError = 4,
};
