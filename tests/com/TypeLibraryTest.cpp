// The type library and version resource, read back from the module the way
// the platform and object browsers read them.

#include "ComClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace comtest;

namespace {

const GUID StdOleLibrary = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class TypeLibrary : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, LoadTypeLibEx(ServerModule::Get().Path().c_str(), REGKIND_NONE, library.put()));
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(IID__CodeRunner, dispatchInfo.put()));
        HREFTYPE vtable = 0;
        ASSERT_EQ(S_OK, dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable));
        ASSERT_EQ(S_OK, dispatchInfo->GetRefTypeInfo(vtable, interfaceInfo.put()));
    }
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> dispatchInfo;   // the dispatch view of the dual interface
    ComPtr<ITypeInfo> interfaceInfo;  // its vtable view
};

// One slot of the interface as the library records it.
struct Slot {
    const wchar_t* name;
    INVOKEKIND kind;
    DISPID id;
    std::vector<VARTYPE> parameters;  // in-arguments only
    std::vector<const wchar_t*> parameterNames;
    SHORT optionalCount;
    VARTYPE result;  // VT_EMPTY: none
};

const Slot Slots[] = {
    {L"CleanOutput", INVOKE_PROPERTYPUT, 0x68030006, {VT_BOOL}, {}, 0, VT_EMPTY},
    {L"CleanOutput", INVOKE_PROPERTYGET, 0x68030006, {}, {}, 0, VT_BOOL},
    {L"DebugInfo", INVOKE_PROPERTYGET, 0x68030005, {}, {}, 0, VT_BSTR},
    {L"Execute", INVOKE_FUNC, 0x60030009, {VT_BSTR, VT_BSTR}, {L"SASRoot", L"SASConfig"}, 2, VT_BSTR},
    {L"Log", INVOKE_PROPERTYGET, 0x68030004, {}, {}, 0, VT_BSTR},
    {L"Lst", INVOKE_PROPERTYGET, 0x68030003, {}, {}, 0, VT_BSTR},
    {L"PutFile", INVOKE_PROPERTYGET, 0x68030002, {VT_I2, VT_BOOL}, {L"Index", L"ReturnPath"}, 1, VT_BSTR},
    {L"Reset", INVOKE_FUNC, 0x6003000A, {}, {}, 0, VT_EMPTY},
    {L"SafeFormChar", INVOKE_PROPERTYPUT, 0x68030001, {VT_BOOL}, {}, 0, VT_EMPTY},
    {L"SafeFormChar", INVOKE_PROPERTYGET, 0x68030001, {}, {}, 0, VT_BOOL},
    {L"SASCode", INVOKE_PROPERTYPUT, 0x68030000, {VT_BSTR}, {}, 0, VT_EMPTY},
    {L"SASCode", INVOKE_PROPERTYGET, 0x68030000, {}, {}, 0, VT_BSTR},
};

// A string of the version resource's string table.
bool VersionString(const std::vector<BYTE>& data, const std::wstring& name, std::wstring& value) {
    const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), path.c_str(), &text, &length)) return false;
    value = length ? std::wstring(static_cast<const wchar_t*>(text)) : std::wstring();
    return true;
}

std::vector<BYTE> VersionData() {
    const std::wstring path = ServerModule::Get().Path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data())) data.clear();
    return data;
}

}  // namespace

TEST_F(TypeLibrary, IsResourceOneOfTypeTypelibInUSEnglish) {
    HMODULE module = ServerModule::Get().Handle();
    HRSRC resource =
        FindResourceExW(module, L"TYPELIB", MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(nullptr, resource);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    ASSERT_GE(SizeofResource(module, resource), 32u);
    // The compiled format's header: its text locale is 0x0409, its binding
    // locale 0 and its flags none.
    EXPECT_EQ(0, std::memcmp(data, "MSFT", 4));
    DWORD header[8];
    std::memcpy(header, data, sizeof header);
    EXPECT_EQ(0x0409u, header[3]);
    EXPECT_EQ(0u, header[4]);
    EXPECT_EQ(0x00000001u, header[6]);  // version 1.0
    EXPECT_EQ(0u, header[7]);
}

TEST_F(TypeLibrary, LibraryAttributes) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_EQ(LIBID_Tamberlo, attr->guid);
    EXPECT_EQ(0u, attr->lcid);
    EXPECT_EQ(ModulePlatform, attr->syskind);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0, attr->wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN));
    library->ReleaseTLibAttr(attr);

    UniqueBstr name, doc;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr));
    EXPECT_EQ(L"Tamberlo", Text(name.get()));
    EXPECT_EQ(L"", Text(doc.get()));
}

TEST_F(TypeLibrary, HoldsTheInterfaceAndTheClassOnly) {
    ASSERT_EQ(2u, library->GetTypeInfoCount());
    TYPEKIND kind;
    ASSERT_EQ(S_OK, library->GetTypeInfoType(0, &kind));
    EXPECT_EQ(TKIND_DISPATCH, kind);
    ASSERT_EQ(S_OK, library->GetTypeInfoType(1, &kind));
    EXPECT_EQ(TKIND_COCLASS, kind);
    UniqueBstr first, second;
    library->GetDocumentation(0, first.put(), nullptr, nullptr, nullptr);
    library->GetDocumentation(1, second.put(), nullptr, nullptr, nullptr);
    EXPECT_EQ(L"_CodeRunner", Text(first.get()));
    EXPECT_EQ(L"CodeRunner", Text(second.get()));
}

TEST_F(TypeLibrary, InterfaceIsHiddenDualNonextensibleAutomation) {
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, dispatchInfo->GetTypeAttr(&attr));
    EXPECT_EQ(IID__CodeRunner, attr->guid);
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    constexpr WORD Expected = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    // The loader's dispatch view of a dual interface may drop the automation flag.
    EXPECT_EQ(Expected, attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    dispatchInfo->ReleaseTypeAttr(attr);

    ASSERT_EQ(S_OK, interfaceInfo->GetTypeAttr(&attr));
    EXPECT_EQ(Expected | TYPEFLAG_FOLEAUTOMATION, attr->wTypeFlags);
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(12, attr->cFuncs);
    EXPECT_EQ(0, attr->cVars);
    // IUnknown's and IDispatch's seven slots come first; a slot is a pointer.
    EXPECT_EQ(19 * sizeof(void*), attr->cbSizeVft);
    interfaceInfo->ReleaseTypeAttr(attr);

    // It derives from stdole's IDispatch, version 2.0.
    HREFTYPE baseRef = 0;
    ASSERT_EQ(S_OK, interfaceInfo->GetRefTypeOfImplType(0, &baseRef));
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(S_OK, interfaceInfo->GetRefTypeInfo(baseRef, base.put()));
    ASSERT_EQ(S_OK, base->GetTypeAttr(&attr));
    EXPECT_EQ(IID_IDispatch, attr->guid);
    base->ReleaseTypeAttr(attr);
    ComPtr<ITypeLib> stdole;
    UINT index = 0;
    ASSERT_EQ(S_OK, base->GetContainingTypeLib(stdole.put(), &index));
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(S_OK, stdole->GetLibAttr(&libAttr));
    EXPECT_EQ(StdOleLibrary, libAttr->guid);
    EXPECT_EQ(2, libAttr->wMajorVerNum);
    EXPECT_EQ(0, libAttr->wMinorVerNum);
    stdole->ReleaseTLibAttr(libAttr);
}

TEST_F(TypeLibrary, SlotsIdsAndArgumentsFollowTheFixedTable) {
    for (UINT i = 0; i < std::size(Slots); ++i) {
        const Slot& slot = Slots[i];
        SCOPED_TRACE(testing::Message() << "slot " << (i + 7));
        FUNCDESC* func = nullptr;
        ASSERT_EQ(S_OK, interfaceInfo->GetFuncDesc(i, &func));
        EXPECT_EQ(slot.id, func->memid);
        EXPECT_EQ(slot.kind, func->invkind);
        EXPECT_EQ(FUNC_PUREVIRTUAL, func->funckind);
        EXPECT_EQ(CC_STDCALL, func->callconv);
        EXPECT_EQ(static_cast<SHORT>((i + 7) * sizeof(void*)), func->oVft);
        EXPECT_EQ(0, func->wFuncFlags);
        EXPECT_EQ(VT_HRESULT, func->elemdescFunc.tdesc.vt);

        // The in-arguments, then the result as an out-argument marked retval.
        const SHORT expectedCount = static_cast<SHORT>(slot.parameters.size() + (slot.result != VT_EMPTY ? 1 : 0));
        ASSERT_EQ(expectedCount, func->cParams);
        EXPECT_EQ(slot.optionalCount, func->cParamsOpt == -1 ? 0 : func->cParamsOpt);
        for (size_t p = 0; p < slot.parameters.size(); ++p) {
            const ELEMDESC& param = func->lprgelemdescParam[p];
            EXPECT_EQ(slot.parameters[p], param.tdesc.vt) << "argument " << p;
            EXPECT_TRUE(param.paramdesc.wParamFlags & PARAMFLAG_FIN);
            EXPECT_FALSE(param.paramdesc.wParamFlags & PARAMFLAG_FOUT);
        }
        if (slot.result != VT_EMPTY) {
            const ELEMDESC& result = func->lprgelemdescParam[func->cParams - 1];
            ASSERT_EQ(VT_PTR, result.tdesc.vt);
            EXPECT_EQ(slot.result, result.tdesc.lptdesc->vt);
            EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, result.paramdesc.wParamFlags);
        }

        // Names: the member, then the named arguments; a put's value has none.
        BSTR names[4] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, interfaceInfo->GetNames(func->memid, names, 4, &count));
        std::vector<std::wstring> got;
        for (UINT n = 0; n < count; ++n) {
            got.push_back(Text(names[n]));
            SysFreeString(names[n]);
        }
        std::vector<std::wstring> expected{slot.name};
        for (auto* name : slot.parameterNames) expected.emplace_back(name);
        got.resize(std::min(got.size(), expected.size()));
        EXPECT_EQ(expected, got);

        // No help strings or contexts.
        UniqueBstr name, doc, helpFile;
        DWORD context = 1;
        ASSERT_EQ(S_OK, interfaceInfo->GetDocumentation(func->memid, name.put(), doc.put(), &context, helpFile.put()));
        EXPECT_EQ(slot.name, Text(name.get()));
        EXPECT_EQ(L"", Text(doc.get()));
        EXPECT_EQ(0u, context);
        interfaceInfo->ReleaseFuncDesc(func);
    }
}

TEST_F(TypeLibrary, PropertyPutValuesHaveNoName) {
    // By id, GetNames describes the first function with that id: the put.
    for (MEMBERID id : {CleanOutputId, SafeFormCharId, SASCodeId}) {
        BSTR names[4] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, interfaceInfo->GetNames(id, names, 4, &count));
        EXPECT_EQ(1u, count) << std::hex << id;
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    }
}

TEST_F(TypeLibrary, OptionalArgumentsAndTheirDefaults) {
    FUNCDESC* execute = nullptr;
    ASSERT_EQ(S_OK, interfaceInfo->GetFuncDesc(3, &execute));
    for (int p = 0; p < 2; ++p) {
        const PARAMDESC& desc = execute->lprgelemdescParam[p].paramdesc;
        EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOPT, desc.wParamFlags) << "argument " << p;
    }
    interfaceInfo->ReleaseFuncDesc(execute);

    FUNCDESC* putFile = nullptr;
    ASSERT_EQ(S_OK, interfaceInfo->GetFuncDesc(6, &putFile));
    EXPECT_EQ(PARAMFLAG_FIN, putFile->lprgelemdescParam[0].paramdesc.wParamFlags);
    const PARAMDESC& returnPath = putFile->lprgelemdescParam[1].paramdesc;
    EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT, returnPath.wParamFlags);
    ASSERT_NE(nullptr, returnPath.pparamdescex);
    const VARIANT& fallback = returnPath.pparamdescex->varDefaultValue;
    EXPECT_EQ(VT_BOOL, V_VT(&fallback));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&fallback));
    interfaceInfo->ReleaseFuncDesc(putFile);
}

TEST_F(TypeLibrary, ClassIsCreatableWithTheInterfaceAsItsDefault) {
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_CodeRunner, coclass.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attr->wTypeFlags);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(1, attr->cImplTypes);
    coclass->ReleaseTypeAttr(attr);

    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);  // not a source of events
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, implemented.put()));
    ASSERT_EQ(S_OK, implemented->GetTypeAttr(&attr));
    EXPECT_EQ(IID__CodeRunner, attr->guid);
    implemented->ReleaseTypeAttr(attr);
}

TEST(VersionResource, NumbersAndFileType) {
    const auto data = VersionData();
    ASSERT_FALSE(data.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags);

    DWORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409u, LOWORD(*translation));  // English (United States)
    EXPECT_EQ(1200u, HIWORD(*translation));    // Unicode
}

TEST(VersionResource, Strings) {
    const auto data = VersionData();
    ASSERT_FALSE(data.empty());
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileVersion", L"1.00"},      {L"ProductVersion", L"1.00"},           {L"ProductName", L"Tamberlo"},
        {L"InternalName", L"Tamberlo"}, {L"OriginalFilename", L"Tamberlo.dll"}, {L"OLESelfRegister", L""}};
    for (const auto& [name, expected] : strings) {
        std::wstring value = L"<missing>";
        EXPECT_TRUE(VersionString(data, name, value)) << name;
        EXPECT_EQ(expected, value) << name;
    }
}

TEST(VersionResource, IsInUSEnglish) {
    EXPECT_NE(nullptr, FindResourceExW(ServerModule::Get().Handle(), MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1),
                                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}
