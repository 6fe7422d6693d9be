#pragma once

#include <string>

// The verbs of the service program's command line.
enum class ServiceVerb { Run, Install, Uninstall, Start, Stop, Invalid };

// Only the first argument counts: every "/" is removed and case is ignored,
// so "/INSTALL" and "Install" are "install". No argument runs the service.
ServiceVerb ParseServiceVerb(int argc, wchar_t** argv);

// True when the first argument is "debugging" in any case (as given, slashes
// and all).
bool IsDebuggingVerb(int argc, wchar_t** argv);

// The service program's exit codes.
enum ServiceExitCode {
    kExitSuccess = 0,
    kExitInvalidParameter = -1,
    kExitInstallFailed = -2,
    kExitUninstallFailed = -3,
    kExitStartFailed = -4,
    kExitStopFailed = -5,
    kExitResourceFailed = -6,
    kExitDispatcherFailed = -7,
};
