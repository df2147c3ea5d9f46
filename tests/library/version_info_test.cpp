#include <gtest/gtest.h>

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
