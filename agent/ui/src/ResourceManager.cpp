// The text half of ResourceManager (see ResourceManager.h): no window system.
#include "ResourceManager.h"

namespace {
ResourceManager* g_instance = nullptr;
}  // namespace

ResourceManager* ResourceManager::GetInstance()
{
    if (g_instance == nullptr) g_instance = new ResourceManager();
    return g_instance;
}

void ResourceManager::DestroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

bool ResourceManager::Initialize()
{
    return strings_.Load();
}

bool ResourceManager::InitializeStrings(const std::wstring& path)
{
    return strings_.LoadFile(path);
}
