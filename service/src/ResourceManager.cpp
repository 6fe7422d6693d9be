#include "ResourceManager.h"

ResourceManager* ResourceManager::GetInstance()
{
    static ResourceManager* instance = new ResourceManager();
    return instance;
}
