// Varnel.exe as Windows shows it: the window's icon (resource 100), the window class's name and title
// (string resource 101) and a version block for an application (the configure step checks that its
// numbers are the program's own version).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/process.h"

namespace vrn::test {
namespace {

TEST(WindowsProgram, CarriesItsIconNameAndVersion) {
    const std::filesystem::path exe = builtProgram("src/Varnel");
    ASSERT_TRUE(std::filesystem::exists(exe)) << exe;
    const HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << ::GetLastError();

    wchar_t name[100] = {};
    const int n = ::LoadStringW(module, 101, name, 100);
    EXPECT_EQ(std::wstring(name, n > 0 ? n : 0), L"Varnel");
    EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(100), RT_GROUP_ICON), nullptr) << "icon 100";

    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(found, nullptr) << "version block";
    const auto* bytes = static_cast<const unsigned char*>(::LockResource(::LoadResource(module, found)));
    const DWORD size = ::SizeofResource(module, found);
    ASSERT_NE(bytes, nullptr);
    // VS_FIXEDFILEINFO starts with its signature, on a 4-byte boundary after the block's key.
    const VS_FIXEDFILEINFO* info = nullptr;
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size && !info; at += 4) {
        DWORD signature = 0;
        std::memcpy(&signature, bytes + at, sizeof signature);
        if (signature == 0xFEEF04BD) info = reinterpret_cast<const VS_FIXEDFILEINFO*>(bytes + at);
    }
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->dwProductVersionMS, info->dwFileVersionMS);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
    ::FreeLibrary(module);
}

}  // namespace
}  // namespace vrn::test
