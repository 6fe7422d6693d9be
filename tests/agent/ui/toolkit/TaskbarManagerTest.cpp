#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "TaskbarManager.h"

// The UI thread never enters COM itself: the interface must not depend on
// some other thread keeping the process's multithreaded apartment alive.
TEST(TaskbarManagerTest, ThreadWithoutComGetsTheInterfaceAndLeavesTheApartmentItEntered)
{
    bool refusedWhileNotAccepted = false;
    bool gotInterface = false;
    bool gotItAgain = false;
    HRESULT enterAfterRelease = E_FAIL;
    std::thread([&] {
        Lumen::TaskbarManager manager;
        manager.OnTaskbarButtonCreated();
        refusedWhileNotAccepted = manager.Get() == nullptr;
        manager.SetAcceptsMessage(true);
        manager.OnTaskbarButtonCreated();
        gotInterface = manager.Get() != nullptr;
        manager.OnTaskbarButtonCreated();  // a restarted shell's new button
        gotItAgain = manager.Get() != nullptr;
        manager.Release();
        // S_OK, not S_FALSE: no entry of the manager's is left on the thread.
        enterAfterRelease = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(enterAfterRelease)) ::CoUninitialize();
    }).join();
    EXPECT_TRUE(refusedWhileNotAccepted);
    EXPECT_TRUE(gotInterface);
    EXPECT_TRUE(gotItAgain);
    EXPECT_EQ(enterAfterRelease, S_OK);
}

// A thread already in the multithreaded apartment keeps it; the manager
// neither fails there nor leaves an apartment it did not enter.
TEST(TaskbarManagerTest, ThreadInTheMultithreadedApartmentKeepsIt)
{
    bool gotInterface = false;
    HRESULT stillMultithreaded = E_FAIL;
    std::thread([&] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            Lumen::TaskbarManager manager;
            manager.SetAcceptsMessage(true);
            manager.OnTaskbarButtonCreated();
            gotInterface = manager.Get() != nullptr;
        }
        stillMultithreaded = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // S_FALSE: still entered
        if (SUCCEEDED(stillMultithreaded)) ::CoUninitialize();
        ::CoUninitialize();
    }).join();
    EXPECT_TRUE(gotInterface);
    EXPECT_EQ(stillMultithreaded, S_FALSE);
}
