// The user a host test plays on this machine, made before the library loads (it reads all of this
// once, at load): a home folder of the test's own, so that the stored sign-in is the test's, no
// XDG_DATA_HOME, a browser command that opens nothing, and the two services at the given addresses
// (POSIX tests only).
#pragma once

#include <string>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace testsupport {

class HostUser {
public:
    HostUser(const std::string& signOnUrl, const std::string& webApiUrl)
        : m_home("quarnels-host"),
          m_homeSetting("HOME", m_home.Path()),
          m_dataSetting("XDG_DATA_HOME", nullptr),
          m_browserSetting("BROWSER", "true"),
          m_signOnSetting("QUARNELS_SSO_URL", signOnUrl),
          m_webApiSetting("QUARNELS_ESI_URL", webApiUrl) {}

    // Empty when no folder could be made.
    const std::string& Home() const { return m_home.Path(); }

private:
    TempFolder m_home;
    ScopedEnv m_homeSetting;
    ScopedEnv m_dataSetting;
    ScopedEnv m_browserSetting;
    ScopedEnv m_signOnSetting;
    ScopedEnv m_webApiSetting;
};

}  // namespace testsupport
