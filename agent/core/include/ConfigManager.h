#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "IConfigChangeHandler.h"
#include "Lumen/Criticalsection.h"
#include "NoticeInfo.h"

// The agent's settings: in memory under a lock, persisted in one file
// encrypted under a key derived from this computer's baseboard serial, so a
// copy does not open on another computer. Getters and setters may be called
// from any thread; LoadConfig runs before other threads exist.
class ConfigManager {
public:
    // The process's store, created on first use with the file beside the
    // program; the computer's passphrase is taken when the file is first
    // read or written. DestroyInstance ends it at exit.
    static ConfigManager* GetInstance();
    static void DestroyInstance();

    ConfigManager(std::wstring filePath, std::string passphrase);
    // The passphrase comes from `passphraseSource`, called once, when the
    // file is first read or written (any thread).
    ConfigManager(std::wstring filePath, std::function<std::string()> passphraseSource);
    virtual ~ConfigManager() = default;
    ConfigManager(const ConfigManager&) = delete;
    ConfigManager& operator=(const ConfigManager&) = delete;

    // Reads the file; a missing file keeps the defaults silently, a bad one
    // logs the load error and keeps what was read before the fault.
    void LoadConfig();
    // Writes the persisted settings. The old file is replaced in one step,
    // so a crash while saving leaves either the old or the new file.
    void SaveConfig();

    std::wstring GetCustomerId();
    std::wstring GetCustomerName();
    std::wstring GetCompanyName();
    // Replaces the three together and tells the handlers (kind 0).
    void SetCustomerInfo(const std::wstring& customerId, const std::wstring& customerName,
                         const std::wstring& companyName);

    bool IsTestMode();
    void SetTestMode(bool value);
    bool IsAutoLogin();
    void SetAutoLogin(bool value);
    std::wstring GetUserId();
    void SetUserId(const std::wstring& value);
    std::wstring GetPassword();
    void SetPassword(const std::wstring& value);
    bool IsInstalling();
    void SetInstalling(bool value);

    NOTICE_INFO GetNotice();
    // Stores and announces (kind 1) only a notice whose id differs from the
    // stored one.
    void SetNotice(const NOTICE_INFO& notice);

    // Each handler at most once; handlers stay for the store's life.
    void RegisterChangeHandler(IConfigChangeHandler* handler);

    const std::wstring& GetFilePath() const { return filePath_; }

    // The baseboard serial number from WMI as UTF-8; "" when it cannot be read.
    // The read sets the process's COM security when nothing has yet (and
    // works with the security set before it). `beforeQuery`, when given,
    // runs once the security is set, before the query; false from it ends
    // the read with "".
    static std::string ReadMachinePassphrase(const std::function<bool()>& beforeQuery = nullptr);
    // For the process's store, read on a thread of its own. Prefetch starts
    // the read at once when there is a file to decrypt; with none, nothing
    // needs the key before the first save, and Release (after the first
    // paint) starts it, unless the store's first need has read it already.
    static void PrefetchMachinePassphrase();
    static void ReleaseMachinePassphrase();
    // "<program folder>config\config.cfg"
    static std::wstring DefaultFilePath();

private:
    struct Settings {
        std::wstring customerId;
        std::wstring customerName;
        std::wstring companyName;
        bool testMode = false;
        bool autoLogin = false;
        std::wstring userId;
        std::wstring password;
        bool installing = false;
        NOTICE_INFO notice;
    };

    const std::string& Passphrase();
    std::vector<IConfigChangeHandler*> HandlersCopy();
    void Notify(int kind);

    Lumen::Criticalsection lock_;
    const std::wstring filePath_;
    std::function<std::string()> passphraseSource_;  // null once taken
    std::once_flag passphraseTaken_;
    std::string passphrase_;
    std::vector<IConfigChangeHandler*> handlers_;
    Settings settings_;
};
