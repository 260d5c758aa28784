// RefreshDesktopWindow: tells the shell that file associations or icons
// changed, so the desktop and Explorer windows redraw their icons.
#include <shlobj.h>

#include "core/Action.h"

VERRAND_ACTION(RefreshDesktopWindow)
{
    context->Log(LogLevelInfo, L"Running RefreshDesktopWindow");
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, 0, 0);
    return ActionDone;
}
