#include "HostedResult.h"

#include "Platform.h"

#include "fileio/ResFile.h"

#include <rxAllocator.h>
#include <rxResult.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

HostedResult::~HostedResult() {
    if (result != nullptr) {
        result->Release();
    }
}

std::string HostedResult::Unreadable(const std::string& path) {
    // The file layer's one readability check, as every other entry makes it.
    std::string problem;
    int error = 0;
    if (ResFile::Readable(path, problem, error)) {
        return std::string();
    }
    return problem;
}

std::string HostedResult::DefaultPluginPath() {
    std::string folder = platform::ExecutableDirectory();
    if (folder.empty()) {
        folder = ".";
    }
    const std::string beside = folder + platform::PathSeparator() + platform::PluginFileName();
#ifdef KVRES_PLUGIN_RELATIVE_DIR
    // Installed: bin/kvres-tool, lib/kvres/kvres.so. The build tree and the
    // Windows folder keep the plug-in beside the tool, and that comes first.
    if (!platform::FileExists(beside)) {
        const std::string installed = folder + platform::PathSeparator() +
                                      KVRES_PLUGIN_RELATIVE_DIR + platform::PathSeparator() +
                                      platform::PluginFileName();
        if (platform::FileExists(installed)) {
            return installed;
        }
    }
#endif
    return beside;
}

bool HostedResult::Open(const std::string& file, const std::string& pluginPath, bool force,
                        std::string& error) {
    const std::string unreadable = Unreadable(file);
    if (!unreadable.empty()) {
        failure = Failure::File;
        error = file + ": " + unreadable;
        return false;
    }
    const std::string path =
        pluginPath.empty() ? DefaultPluginPath() : platform::LocalPath(pluginPath);
    plugin = std::make_unique<ReaderPlugin>();
    std::string why;
    if (!plugin->Load(path, why)) {
        failure = Failure::Plugin;
        error = "cannot use the plug-in " + path + ": " + why;
        return false;
    }
    recognized = plugin->Identify(file);
    if (!recognized && !force) {
        failure = Failure::File;
        error = file + ": not recognised by the " + plugin->DisplayName() +
                " (--force opens it anyway)";
        return false;
    }
    result = plugin->CreateResult(file, rxAllocator::Default());
    if (result == nullptr) {
        failure = Failure::Plugin;
        error = file + ": the plug-in could not create a result for it";
        return false;
    }
    return true;
}
