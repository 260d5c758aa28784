#include "InstallLog.h"

namespace {
class InstallLogAsLogger : public ILogger {
public:
    void Log(int level, const std::wstring& message)
    {
        switch (level) {
        case 4:
            InstallLog::Error(message);
            break;
        case 3:
            InstallLog::Warn(message);
            break;
        case 2:
            InstallLog::Info(message);
            break;
        default:
            InstallLog::Debug(message);
            break;
        }
    }
};
}

boost::shared_ptr<ILogger> InstallLogLogger::GetInstallLogLogger()
{
    return boost::shared_ptr<ILogger>(new InstallLogAsLogger);
}
