// Self-registration through the module's exports, and creation by ProgID and
// CLSID through the platform once registered.

#include "ComClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace comtest;

namespace {

const std::wstring ClassKey = L"CLSID\\{E0A17516-ED5F-470D-BBB2-7A222B50B4C5}";
const std::wstring ProgIdKey = L"Tamberlo.CodeRunner";
const std::wstring LibraryKey = L"TypeLib\\{2EF0D631-4776-4D44-80D1-B43EC8C2F16F}";
const std::wstring InterfaceKey = L"Interface\\{51278522-9127-4A8B-BACA-E01C72296A08}";

std::wstring Value(const std::wstring& key, const std::wstring& name = L"") {
    std::wstring value;
    return ReadClassesValue(key, name, value) ? value : L"<missing>";
}

// Leaves the registry as it found it: unregistered.
class Registration : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, ServerModule::Get().UnregisterServer()); }
    void TearDown() override { EXPECT_EQ(S_OK, ServerModule::Get().UnregisterServer()); }
};

}  // namespace

TEST_F(Registration, WritesClassProgIdTypeLibraryAndInterface) {
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());

    EXPECT_EQ(ServerModule::Get().Path(), Value(ClassKey + L"\\InprocServer32"));
    EXPECT_EQ(L"Apartment", Value(ClassKey + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(L"Tamberlo.CodeRunner", Value(ClassKey + L"\\ProgID"));
    EXPECT_EQ(L"{2EF0D631-4776-4D44-80D1-B43EC8C2F16F}", Value(ClassKey + L"\\TypeLib"));
    EXPECT_EQ(L"1.0", Value(ClassKey + L"\\Version"));
    // No version-qualified ProgID, no other class.
    EXPECT_FALSE(ClassesKeyExists(L"Tamberlo.CodeRunner.1"));
    EXPECT_EQ(L"{E0A17516-ED5F-470D-BBB2-7A222B50B4C5}", Value(ProgIdKey + L"\\CLSID"));

    // The library file is this module (some systems store it with a \\?\ prefix).
    const std::wstring file = Value(LibraryKey + L"\\1.0\\0\\" + ModulePlatformKey);
    EXPECT_EQ(L"Tamberlo.dll", FileName(file));
    EXPECT_EQ(L"0", Value(LibraryKey + L"\\1.0\\FLAGS"));
    EXPECT_EQ(L"", Value(LibraryKey + L"\\1.0\\HELPDIR"));
    EXPECT_FALSE(ClassesKeyExists(LibraryKey + L"\\1.0\\409"));

    EXPECT_EQ(L"{2EF0D631-4776-4D44-80D1-B43EC8C2F16F}", Value(InterfaceKey + L"\\TypeLib"));
    EXPECT_EQ(L"1.0", Value(InterfaceKey + L"\\TypeLib", L"Version"));
    // Marshaled by the type library.
    EXPECT_EQ(L"{00020424-0000-0000-C000-000000000046}", Value(InterfaceKey + L"\\ProxyStubClsid32"));
}

TEST_F(Registration, RegisteringTwiceIsHarmlessAndOneUnregisterRemovesEverything) {
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());
    ASSERT_EQ(S_OK, ServerModule::Get().UnregisterServer());
    for (const auto& key : {ClassKey, ProgIdKey, LibraryKey, InterfaceKey}) EXPECT_FALSE(ClassesKeyExists(key)) << key;
    // Unregistering what is not registered succeeds.
    EXPECT_EQ(S_OK, ServerModule::Get().UnregisterServer());
}

TEST_F(Registration, RegisteredClassIsCreatedByProgIdAndByClsid) {
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Tamberlo.CodeRunner", &clsid));
    EXPECT_EQ(CLSID_CodeRunner, clsid);

    ComPtr<_CodeRunner> byProgId, byClsid;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__CodeRunner, byProgId.put_void()));
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_CodeRunner, nullptr, CLSCTX_INPROC_SERVER, IID__CodeRunner, byClsid.put_void()));
    ASSERT_EQ(S_OK, SetCode(byProgId.get(), L"data one; run;"));
    EXPECT_EQ(L"data one; run;\r\n", Get(byProgId.get(), &_CodeRunner::get_SASCode));
    EXPECT_EQ(L"", Get(byClsid.get(), &_CodeRunner::get_SASCode));

    // The registered library answers for the interface.
    ComPtr<ITypeLib> registered;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_Tamberlo, 1, 0, 0, registered.put()));
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(S_OK, registered->GetTypeInfoOfGuid(IID__CodeRunner, info.put()));
}

TEST_F(Registration, UnregisteredClassCannotBeCreated) {
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());
    ASSERT_EQ(S_OK, ServerModule::Get().UnregisterServer());
    for (const auto& key : {ClassKey, ProgIdKey, LibraryKey, InterfaceKey}) EXPECT_FALSE(ClassesKeyExists(key)) << key;
    CLSID clsid{};
    EXPECT_NE(S_OK, CLSIDFromProgID(L"Tamberlo.CodeRunner", &clsid));
    ComPtr<IUnknown> object;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_CodeRunner, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()));
}

// The other bitness's build registered beside this one: the type library's
// version key then also holds that build's platform subkey. Unregistering
// this build takes only its own subkey; the library and the interface stay
// for the other build, and go with the last one.
TEST_F(Registration, UnregisteringLeavesTheLibraryToTheOtherBuild) {
    const std::wstring otherPlatform =
        std::wstring(LibraryKey + L"\\1.0\\0\\") + (ModulePlatform == SYS_WIN64 ? L"win32" : L"win64");
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, otherPlatform.c_str(), 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &created, nullptr));
    RegCloseKey(created);

    ASSERT_EQ(S_OK, ServerModule::Get().UnregisterServer());
    EXPECT_FALSE(ClassesKeyExists(LibraryKey + L"\\1.0\\0\\" + ModulePlatformKey));
    EXPECT_FALSE(ClassesKeyExists(ClassKey));
    EXPECT_TRUE(ClassesKeyExists(otherPlatform));
    EXPECT_EQ(L"Tamberlo", Value(LibraryKey + L"\\1.0"));
    EXPECT_EQ(L"0", Value(LibraryKey + L"\\1.0\\FLAGS"));
    EXPECT_EQ(L"{2EF0D631-4776-4D44-80D1-B43EC8C2F16F}", Value(InterfaceKey + L"\\TypeLib"));

    // Registering again and unregistering once the other build is gone
    // removes everything.
    ASSERT_EQ(S_OK, ServerModule::Get().RegisterServer());
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, otherPlatform.c_str()));
    ASSERT_EQ(S_OK, ServerModule::Get().UnregisterServer());
    for (const auto& key : {ClassKey, ProgIdKey, LibraryKey, InterfaceKey}) EXPECT_FALSE(ClassesKeyExists(key)) << key;
}
