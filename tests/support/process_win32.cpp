#include "support/process.h"

#include <windows.h>

#include <process.h>

#include <chrono>
#include <cwchar>
#include <map>

namespace vrn::test {

namespace fs = std::filesystem;

namespace {

std::wstring lf_wide(const std::string& text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// One argument quoted as CommandLineToArgvW and the CRT read it back.
void lf_appendArgument(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// The test's environment with the given entries replacing those of the same name (names compare
// without case, as Windows does), as the block CreateProcessW takes.
std::wstring lf_environmentBlock(const std::vector<std::string>& added) {
    std::map<std::wstring, std::wstring, decltype([](const std::wstring& a, const std::wstring& b) {
                 return ::_wcsicmp(a.c_str(), b.c_str()) < 0;
             })>
        entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* e = block; *e; e += std::wcslen(e) + 1) {
        const std::wstring entry(e);
        const auto eq = entry.find(L'=', 1);   // "=C:=C:\..." entries start with '='
        if (eq != std::wstring::npos) entries[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    ::FreeEnvironmentStringsW(block);
    for (const auto& a : added) {
        const std::wstring entry = lf_wide(a);
        const auto eq = entry.find(L'=');
        if (eq != std::wstring::npos) entries[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    std::wstring result;
    for (const auto& [name, value] : entries) result += name + L"=" + value + L'\0';
    result += L'\0';
    return result;
}

}  // namespace

int currentProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

fs::path currentProgram() {
    std::wstring buffer(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return fs::path(buffer);
}

fs::path builtProgram(const std::string& relative) { return fs::path(VARNEL_BINARY_DIR) / (relative + ".exe"); }

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args, const Options& options) {
    std::wstring line;
    lf_appendArgument(line, program.wstring());
    for (const auto& a : args) lf_appendArgument(line, lf_wide(a));
    std::wstring env = lf_environmentBlock(options.env);

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = INVALID_HANDLE_VALUE;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!options.output.empty()) {
        out = ::CreateFileW(options.output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) return;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = out;
    }
    PROCESS_INFORMATION info{};
    const BOOL ok = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                     env.data(), options.folder.empty() ? nullptr : options.folder.c_str(), &startup,
                                     &info);
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    if (!ok) return;
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
}

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::started() const { return m_process != nullptr || m_status.has_value(); }

std::optional<int> ChildProcess::waitFor(double seconds) {
    if (m_process == nullptr) return m_status;
    const auto ms = static_cast<DWORD>(seconds * 1000.0);
    if (::WaitForSingleObject(m_process, ms) == WAIT_OBJECT_0) reap();
    return m_status;
}

void ChildProcess::reap() {
    DWORD code = 0;
    ::WaitForSingleObject(m_process, INFINITE);
    if (::GetExitCodeProcess(m_process, &code)) m_status = static_cast<int>(code);
    ::CloseHandle(m_process);
    m_process = nullptr;
}

void ChildProcess::stop() { kill(); }

void ChildProcess::kill() {
    if (m_process == nullptr) return;
    ::TerminateProcess(m_process, 137);
    reap();
}

}  // namespace vrn::test
