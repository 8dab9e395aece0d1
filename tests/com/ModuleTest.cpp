// The module as the platform sees it: exports, imports, class factory and
// unload rule.

#include "ComClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace comtest;
using testing::ElementsAre;

namespace {

const IMAGE_DATA_DIRECTORY& Directory(HMODULE module, int index) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[index];
}

std::vector<std::string> ExportNames(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto& entry = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    std::vector<std::string> names;
    if (entry.VirtualAddress == 0) return names;
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    auto* nameTable = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameTable[i]));
    // Every function must have a name: no export by ordinal only.
    EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames);
    return names;
}

std::vector<std::string> ImportedModules(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto& entry = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    std::vector<std::string> names;
    for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + entry.VirtualAddress);
         import->Name != 0; ++import) {
        std::string name(reinterpret_cast<const char*>(base + import->Name));
        for (auto& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        names.push_back(name);
    }
    return names;
}

ComPtr<IClassFactory> Factory() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, ServerModule::Get().GetClassObject(CLSID_CodeRunner, IID_IClassFactory, factory.put_void()));
    return factory;
}

}  // namespace

TEST(ServerModule, ExportsExactlyTheFourServerFunctionsByName) {
    EXPECT_THAT(ExportNames(ServerModule::Get().Handle()),
                ElementsAre("DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"));
}

TEST(ServerModule, ImportsOnlyTheSystemsOwnLibraries) {
    // The C++ runtime is linked in: no libstdc++, libgcc or winpthread DLL.
    const std::set<std::string> system = {"KERNEL32.DLL", "MSVCRT.DLL", "OLE32.DLL",   "OLEAUT32.DLL",
                                          "ADVAPI32.DLL", "USER32.DLL", "SHELL32.DLL", "VERSION.DLL"};
    const auto imported = ImportedModules(ServerModule::Get().Handle());
    EXPECT_FALSE(imported.empty());
    for (const auto& name : imported) EXPECT_TRUE(system.count(name)) << name;
}

TEST(ClassFactory, RefusesEveryOtherClassId) {
    // The interface id, the library id and a foreign class are all no class of this module.
    const GUID others[] = {IID__CodeRunner, LIBID_Tamberlo, IID_IDispatch, GUID_NULL};
    for (const GUID& clsid : others) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, ServerModule::Get().GetClassObject(clsid, IID_IClassFactory, &object))
            << GuidText(clsid).c_str();
        EXPECT_EQ(nullptr, object);
    }
}

TEST(ClassFactory, HandsOutTheFactoryAsIUnknownAndIClassFactoryOnly) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, ServerModule::Get().GetClassObject(CLSID_CodeRunner, IID_IUnknown, unknown.put_void()));
    EXPECT_TRUE(unknown);
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(E_NOINTERFACE, ServerModule::Get().GetClassObject(CLSID_CodeRunner, IID_IDispatch, dispatch.put_void()));
    EXPECT_FALSE(dispatch);
}

TEST(ClassFactory, CreatesObjectsThroughEachOfTheirInterfaces) {
    auto factory = Factory();
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ComPtr<_CodeRunner> runner;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, unknown.put_void()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, dispatch.put_void()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID__CodeRunner, runner.put_void()));

    // One object answers IDispatch and _CodeRunner with the same pointer.
    auto asDispatch = runner.query<IDispatch>();
    EXPECT_EQ(static_cast<IDispatch*>(runner.get()), asDispatch.get());
    EXPECT_TRUE(runner.query<ISupportErrorInfo>());

    ComPtr<IPersist> persist;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IPersist, persist.put_void()));
    EXPECT_FALSE(persist);
    EXPECT_FALSE(runner.query<IPersist>());
}

TEST(ClassFactory, RefusesAggregation) {
    auto outer = NewRunner();
    ComPtr<IUnknown> inner;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, Factory()->CreateInstance(outer.get(), IID_IUnknown, inner.put_void()));
    EXPECT_FALSE(inner);
}

TEST(ClassFactory, EveryCreationIsANewIndependentObject) {
    auto first = NewRunner();
    auto second = NewRunner();
    EXPECT_NE(first.get(), second.get());
    ASSERT_EQ(S_OK, SetCode(first.get(), L"data a; run;"));
    EXPECT_EQ(L"data a; run;\r\n", Get(first.get(), &_CodeRunner::get_SASCode));
    EXPECT_EQ(L"", Get(second.get(), &_CodeRunner::get_SASCode));
}

TEST(ServerModule, MayUnloadOnlyWithoutObjectsAndLocks) {
    const auto& module = ServerModule::Get();
    ASSERT_EQ(S_OK, module.CanUnloadNow());
    {
        auto runner = NewRunner();
        auto extra = runner;  // a second reference to the same object
        EXPECT_EQ(S_FALSE, module.CanUnloadNow());
        runner.reset();
        EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    }
    EXPECT_EQ(S_OK, module.CanUnloadNow());

    auto factory = Factory();
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

TEST(ServerModule, ObjectsSupportErrorInformationForTheirInterfaceOnly) {
    auto support = NewRunner().query<ISupportErrorInfo>();
    ASSERT_TRUE(support);
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID__CodeRunner));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IPersist));
}
