// The version texts of a module file's resource, and GetDLLVersion of a module without one.
#include <gtest/gtest.h>

#include "framework/afxapp.h"
#include "library/exports.h"
#include "library/version_info.h"

TEST(VersionInfo, BothVersionsComeFromTheFilesResource) {
    version_info record;
    ReadVersionInfo(record, QUARNELS_LIBRARY_PATH);
    EXPECT_STREQ(record.productVersion, "1,0,0,7");
    EXPECT_STREQ(record.fileVersion, "1,0,0,7");
}

TEST(VersionInfo, AFileWithoutAVersionResourceLeavesTheTextsAsTheyWere) {
    version_info record;
    record.productVersion = "kept";
    ReadVersionInfo(record, QUARNELS_PLATFORM_LIBRARY);
    EXPECT_STREQ(record.productVersion, "kept");
    EXPECT_TRUE(record.fileVersion.IsEmpty());
    ReadVersionInfo(record, "/nonexistent/file.dll");
    EXPECT_STREQ(record.productVersion, "kept");
}

TEST(VersionInfo, GetDLLVersionOfAModuleWithoutAVersionResourceIsAnEmptyText) {
    // The library's objects are linked into this test program, whose file has no version resource.
    AFX_MODULE_STATE* state = AfxGetModuleState();
    const HINSTANCE attached = state->m_hCurrentInstanceHandle;
    state->m_hCurrentInstanceHandle = AfxGetThisModule();
    const BSTR version = GetDLLVersion();
    state->m_hCurrentInstanceHandle = attached;
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(SysStringByteLen(version), 0u);
    SysFreeString(version);
}
