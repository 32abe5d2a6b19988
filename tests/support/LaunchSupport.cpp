#include "LaunchSupport.h"

#include "app/Globals.h"

LaunchSettings SettingsFor(const std::wstring& folder, IPackageExtractor* component) {
    LaunchSettings settings;
    settings.installation.folder = folder.c_str();
    settings.component = component;
    settings.websiteUrl = g_strWebsiteUrl;
    settings.serverAddress = g_strServerAddress;
    settings.serverPort = g_strServerPort;
    return settings;
}
