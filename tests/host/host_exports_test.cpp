// The library as a macro host sees it: loaded by file name, exports bound by name, every argument
// passed by reference, BSTRs and SAFEARRAYs made and freed by the host.
#include <climits>
#include <cstdlib>
#include <limits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/host_library.h"
#include "tests/support/host_user.h"
#include "tests/support/sign_in_aborter.h"

namespace {

class HostExports : public HostSuite {
protected:
    static void SetUpTestSuite() {
        // A user without a stored sign-in, whose browser never comes back, and no real service.
        user_ = new testsupport::HostUser("http://127.0.0.1:9", "http://127.0.0.1:9/");
        ASSERT_FALSE(user_->Home().empty());
        aborter_ = new SignInAborter();
        LoadOnce(QUARNELS_LIBRARY_PATH);
    }
    static void TearDownTestSuite() {
        FreeOnce();
        delete aborter_;
        aborter_ = nullptr;
        delete user_;
        user_ = nullptr;
    }

    static inline testsupport::HostUser* user_ = nullptr;
    // Every export that needs live data meets a sign-in that this user aborts.
    static inline SignInAborter* aborter_ = nullptr;
};

// Two SAFEARRAYs as a host dimensions them for Blueprint.
struct BlueprintArrays {
    explicit BlueprintArrays(ULONG count = 25)
        : names(SafeArrayCreateVector(VT_BSTR, 0, count)), amounts(SafeArrayCreateVector(VT_I4, 0, count)) {}
    ~BlueprintArrays() {
        SafeArrayDestroy(names);
        SafeArrayDestroy(amounts);
    }
    std::string Name(int i) const {
        BSTR value = static_cast<BSTR*>(names->pvData)[i];
        return value ? std::string(reinterpret_cast<const char*>(value), SysStringByteLen(value)) : "<null>";
    }
    int Amount(int i) const { return static_cast<int32_t*>(amounts->pvData)[i]; }
    void Fill(const char* text, int amount) {
        for (ULONG i = 0; i < names->rgsabound[0].cElements; ++i) {
            BSTR& slot = static_cast<BSTR*>(names->pvData)[i];
            SysFreeString(slot);
            slot = SysAllocStringByteLen(text, UINT(std::strlen(text)));
            static_cast<int32_t*>(amounts->pvData)[i] = amount;
        }
    }
    SAFEARRAY* names;
    SAFEARRAY* amounts;
};

TEST_F(HostExports, TestIsExportedOnlyUnderItsDecoratedName) { ExpectOnlyTheDecoratedTestExport(); }

TEST_F(HostExports, VersionComesFromTheLibraryFilesResource) {
    EXPECT_EQ(TakeBstr(x.GetDLLVersion()), "1,0,0,7");
}

TEST_F(HostExports, VolumeByNameInAnyLetterCase) {
    HostText raven("Raven"), lower("raven"), unknown("Not An Item"), tritanium("TRITANIUM");
    EXPECT_DOUBLE_EQ(x.GetVolume(raven.Arg()), 470000.0);
    EXPECT_DOUBLE_EQ(x.GetVolume(lower.Arg()), 470000.0);
    EXPECT_DOUBLE_EQ(x.GetVolume(tritanium.Arg()), 0.01);
    EXPECT_EQ(x.GetVolume(unknown.Arg()), 0.0);
    HostText missing = HostText::Missing();
    EXPECT_EQ(x.GetVolume(missing.Arg()), 0.0);
    EXPECT_EQ(x.GetVolume(nullptr), 0.0);
}

TEST_F(HostExports, BlueprintFillsNamesAndAmountsInTypeIdOrder) {
    BlueprintArrays arrays;
    arrays.Fill("old", 99);  // the library frees what the host left in the slots
    HostText raven("Raven");
    short portion = -1;
    ASSERT_EQ(x.Blueprint(raven.Arg(), &arrays.names, &arrays.amounts, &portion), 1);
    EXPECT_EQ(portion, 1);
    // The bill itself is the database's (its tests pin every slot); here the host's arrays get its
    // ten materials by name, the first and the last of them in the first and the tenth element.
    EXPECT_EQ(arrays.Name(0), "Tritanium");
    EXPECT_EQ(arrays.Amount(0), 5200000);
    EXPECT_EQ(arrays.Name(9), "Life Support Backup Unit");
    EXPECT_EQ(arrays.Amount(9), 75);
    for (int i = 1; i < 9; ++i) EXPECT_NE(arrays.Name(i), "<null>") << "slot " << i;
    for (int i = 10; i < 25; ++i) {
        EXPECT_EQ(arrays.Name(i), "<null>") << "slot " << i;
        EXPECT_EQ(arrays.Amount(i), 0) << "slot " << i;
    }
}

TEST_F(HostExports, BlueprintOfKnownButUnmanufacturedAndOfUnknownItems) {
    BlueprintArrays arrays;
    short portion = 7;
    arrays.Fill("old", 99);
    HostText tritanium("Tritanium");
    EXPECT_EQ(x.Blueprint(tritanium.Arg(), &arrays.names, &arrays.amounts, &portion), 1);
    EXPECT_EQ(portion, 7);
    EXPECT_EQ(arrays.Name(0), "<null>");
    EXPECT_EQ(arrays.Amount(24), 0);

    arrays.Fill("old", 99);
    HostText unknown("No Such Thing");
    EXPECT_EQ(x.Blueprint(unknown.Arg(), &arrays.names, &arrays.amounts, &portion), 0);
    EXPECT_EQ(arrays.Name(3), "<null>");
    EXPECT_EQ(arrays.Amount(3), 0);

    HostText batch("Nuclear S");
    EXPECT_EQ(x.Blueprint(batch.Arg(), &arrays.names, &arrays.amounts, &portion), 1);
    EXPECT_EQ(portion, 100);
}

TEST_F(HostExports, BlueprintWritesNothingWhenAnArgumentIsMissing) {
    BlueprintArrays arrays;
    arrays.Fill("kept", 5);
    HostText raven("Raven");
    short portion = 3;
    EXPECT_EQ(x.Blueprint(raven.Arg(), nullptr, &arrays.amounts, &portion), 0);
    EXPECT_EQ(x.Blueprint(raven.Arg(), &arrays.names, nullptr, &portion), 0);
    EXPECT_EQ(x.Blueprint(raven.Arg(), &arrays.names, &arrays.amounts, nullptr), 0);
    SAFEARRAY* none = nullptr;
    EXPECT_EQ(x.Blueprint(raven.Arg(), &none, &arrays.amounts, &portion), 0);
    EXPECT_EQ(arrays.Name(0), "kept");
    EXPECT_EQ(arrays.Amount(0), 5);
    EXPECT_EQ(portion, 3);

    HostText missing = HostText::Missing();
    EXPECT_EQ(x.Blueprint(missing.Arg(), &arrays.names, &arrays.amounts, &portion), 0);
    EXPECT_EQ(arrays.Name(0), "<null>");  // the arrays are cleared before the name is looked at
}

TEST_F(HostExports, BlueprintNeverWritesPastASmallArray) {
    BlueprintArrays arrays(4);  // AddressSanitizer reports any write past the fourth element
    HostText raven("Raven");
    short portion = 0;
    EXPECT_EQ(x.Blueprint(raven.Arg(), &arrays.names, &arrays.amounts, &portion), 1);
    EXPECT_EQ(arrays.Name(3), "Isogen");
    EXPECT_EQ(arrays.Amount(3), 130000);

    SAFEARRAY* shorts = SafeArrayCreateVector(VT_I4, 0, 25);
    shorts->cbElements = 2;  // an array of 16-bit integers cannot take the amounts
    EXPECT_EQ(x.Blueprint(raven.Arg(), &arrays.names, &shorts, &portion), 0);
    shorts->cbElements = 4;
    SafeArrayDestroy(shorts);
}

TEST_F(HostExports, MaterialNameByOneBasedIndex) {
    HostText raven("Raven");
    short index = 10;
    EXPECT_EQ(TakeBstr(x.GetMaterialName(raven.Arg(), &index)), "Life Support Backup Unit");
    index = 1;
    EXPECT_EQ(TakeBstr(x.GetMaterialName(raven.Arg(), &index)), "Tritanium");
    for (short outside : {0, 11, 25, 26, -1}) {
        index = outside;
        EXPECT_EQ(TakeBstr(x.GetMaterialName(raven.Arg(), &index)), "<null>") << outside;
    }
    EXPECT_EQ(TakeBstr(x.GetMaterialName(raven.Arg(), nullptr)), "<null>");
    HostText tritanium("Tritanium");
    index = 1;
    EXPECT_EQ(TakeBstr(x.GetMaterialName(tritanium.Arg(), &index)), "<null>");
}

TEST_F(HostExports, MaterialAmountWithRunsAndMaterialEfficiency) {
    HostText raven("Raven"), tritanium("Tritanium"), regulator("Core Temperature Regulator"), pyerite("Pyerite");
    int one = 1, five = 5, zero = 0;
    double me10 = 10.0;
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &one, &me10), 4680000);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &one, nullptr), 5200000);
    // 4.5 rounds up to 5, and five runs need at least five units anyway.
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), regulator.Arg(), &five, &me10), 5);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &zero, &me10), 0);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), pyerite.Arg(), &one, nullptr), 2600000);

    HostText nuclear("Nuclear S");
    int ten = 10, units250 = 250;
    EXPECT_EQ(x.GetMaterialAmount(nuclear.Arg(), tritanium.Arg(), &ten, nullptr), 38);         // one run
    EXPECT_EQ(x.GetMaterialAmount(nuclear.Arg(), tritanium.Arg(), &units250, nullptr), 3 * 38);  // three runs

    HostText megacyte("Megacyte");
    EXPECT_EQ(x.GetMaterialAmount(nuclear.Arg(), megacyte.Arg(), &ten, nullptr), 0);  // not an input
    HostText missing = HostText::Missing();
    EXPECT_EQ(x.GetMaterialAmount(missing.Arg(), tritanium.Arg(), &one, &me10), 0);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), missing.Arg(), &one, &me10), 0);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), nullptr, &me10), 0);
    EXPECT_EQ(x.GetMaterialAmount(nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(HostExports, MaterialAmountNeverWrapsAndRejectsMeaninglessInputs) {
    HostText raven("Raven"), tritanium("Tritanium");
    int many = 1000, most = INT_MAX, negative = -5;
    double over = 100.5, full = 100.0, nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &many, nullptr), INT_MAX);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &most, nullptr), INT_MAX);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &negative, nullptr), 0);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &many, &over), 0);
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &many, &nan), 0);
    // At 100 % every run still needs one unit.
    EXPECT_EQ(x.GetMaterialAmount(raven.Arg(), tritanium.Arg(), &many, &full), 1000);
}

TEST_F(HostExports, MaterialTypesCountsTheFilledSlots) {
    HostText raven("Raven"), tritanium("Tritanium"), unknown("zzz");
    EXPECT_EQ(x.GetMaterialTypes(raven.Arg()), 10);
    EXPECT_EQ(x.GetMaterialTypes(tritanium.Arg()), 0);
    EXPECT_EQ(x.GetMaterialTypes(unknown.Arg()), 0);
    EXPECT_EQ(x.GetMaterialTypes(nullptr), 0);
}

TEST_F(HostExports, InventionInputsAndDecryptors) {
    HostText extender("Small Shield Extender II");
    short index = 1;
    EXPECT_EQ(TakeBstr(x.GetInventionItem(extender.Arg(), &index)), "Datacore - Hydromagnetic Physics");
    index = 2;
    EXPECT_EQ(TakeBstr(x.GetInventionItem(extender.Arg(), &index)), "Datacore - Quantum Physics");
    for (short outside : {0, 3, -1}) {
        index = outside;
        EXPECT_EQ(TakeBstr(x.GetInventionItem(extender.Arg(), &index)), "<null>") << outside;
    }
    EXPECT_EQ(TakeBstr(x.GetInventionItem(extender.Arg(), nullptr)), "<null>");

    HostText quantum("Datacore - Quantum Physics"), tritanium("Tritanium");
    EXPECT_EQ(x.GetInventionAmount(extender.Arg(), quantum.Arg()), 1);
    EXPECT_EQ(x.GetInventionAmount(extender.Arg(), tritanium.Arg()), 0);
    EXPECT_EQ(x.GetInventionAmount(nullptr, quantum.Arg()), 0);

    HostText augmentation("Augmentation Decryptor"), process("Process Decryptor"),
        accelerant("Accelerant Decryptor");
    EXPECT_EQ(x.GetInventionRuns(extender.Arg(), nullptr), 10);
    EXPECT_EQ(x.GetInventionRuns(extender.Arg(), augmentation.Arg()), 19);
    EXPECT_EQ(x.GetInventionRuns(extender.Arg(), tritanium.Arg()), 10);
    EXPECT_EQ(x.GetInventionRuns(extender.Arg(), process.Arg()), 10);
    HostText missing = HostText::Missing();
    EXPECT_EQ(x.GetInventionRuns(extender.Arg(), missing.Arg()), 10);
    EXPECT_EQ(x.GetInventionRuns(missing.Arg(), nullptr), 0);

    HostText unknown("Not An Item");
    EXPECT_EQ(x.GetInventionME(unknown.Arg(), process.Arg()), 2);
    EXPECT_EQ(x.GetInventionME(extender.Arg(), process.Arg()), 5);
    EXPECT_EQ(x.GetInventionME(extender.Arg(), accelerant.Arg()), 4);
    EXPECT_EQ(x.GetInventionME(extender.Arg(), augmentation.Arg()), 0);
    EXPECT_EQ(x.GetInventionME(extender.Arg(), nullptr), 2);
}

TEST_F(HostExports, InventionChanceAppliesTheDecryptorFactor) {
    HostText extender("Small Shield Extender II"), unknown("Not An Item");
    HostText symmetry("Symmetry Decryptor"), augmentation("Augmentation Decryptor");
    EXPECT_EQ(x.GetInventionChance(unknown.Arg(), nullptr), 0.0);
    // Nobody signs in here, so no skills: the base chance, 0.34, times the decryptor's factor.
    EXPECT_DOUBLE_EQ(x.GetInventionChance(extender.Arg(), nullptr), 0.34);
    EXPECT_DOUBLE_EQ(x.GetInventionChance(extender.Arg(), symmetry.Arg()), 0.34);
    EXPECT_DOUBLE_EQ(x.GetInventionChance(extender.Arg(), augmentation.Arg()), 0.204);
}

TEST_F(HostExports, LiveDataExportsGiveEmptyResultsForMissingArguments) {
    ExpectZeroForMissingLiveDataArguments();
}

TEST_F(HostExports, GetUserReplacesTheHostsTextWhenNobodyIsSignedIn) {
    BSTR name = SysAllocStringByteLen("None", 4);
    EXPECT_EQ(x.GetUser(&name), 0);
    EXPECT_EQ(TakeBstr(name), "Not Authenticated");
    BSTR empty = nullptr;
    x.GetUser(&empty);
    EXPECT_EQ(TakeBstr(empty), "Not Authenticated");
    EXPECT_EQ(x.GetUser(nullptr), 0);
}

TEST_F(HostExports, HostFreesTheLibrarysStringsThroughTheLibraryHandle) {
    // A host on this platform finds the string functions through the library's own handle.
    auto sysFree = ProcAs<void (*)(BSTR)>(GetProcAddress(module_, "SysFreeString"));
    auto sysLen = ProcAs<UINT (*)(BSTR)>(GetProcAddress(module_, "SysStringByteLen"));
    ASSERT_NE(sysFree, nullptr);
    ASSERT_NE(sysLen, nullptr);
    ASSERT_NE(GetProcAddress(module_, "SysAllocStringByteLen"), nullptr);
    BSTR version = x.GetDLLVersion();
    EXPECT_EQ(sysLen(version), 7u);
    sysFree(version);
}

}  // namespace
