#pragma once

#include <string>

// One entitlement: a product code, its installer's URL, and whether the
// inspection rules found it installed. Copied by value wherever it travels.
struct PRODUCT_INFO {
    std::wstring productCode;
    std::wstring url;
    bool installed = false;
};

// What to wait for after a product's installer has exited: processes
// (";"-separated names) by the machine's native processor, and a mutex.
struct INSTALLER_INFO {
    std::wstring x86ProcessList;
    std::wstring x64ProcessList;
    std::wstring mutexName;
};
