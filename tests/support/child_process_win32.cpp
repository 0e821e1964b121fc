#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <map>
#include <thread>

#include "child_process.h"

namespace qeltest {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Why(const std::string& what) {
    const DWORD error = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = what + ": error " + std::to_string(error);
    if (text != nullptr) {
        message += " (" + std::string(text) + ")";
        LocalFree(text);
    }
    return message;
}

// A handle closed when it goes.
class Handle final {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle& operator=(Handle&& other) noexcept {
        Close();
        h_ = other.h_;
        other.h_ = nullptr;
        return *this;
    }
    ~Handle() { Close(); }
    HANDLE get() const { return h_; }
    HANDLE* out() {
        Close();
        return &h_;
    }
    void Close() {
        if (h_ != nullptr) CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

// A pipe whose child end is inherited and whose own end is not.
bool OpenPipe(Handle& read, Handle& write, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(read.out(), write.out(), &inherit, 0)) return false;
    return SetHandleInformation(childReads ? write.get() : read.get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

// This process's environment with the invocation's variables set on top;
// names compare without case, as Windows compares them.
std::wstring EnvironmentBlock(const Invocation& invocation) {
    struct NoCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
                return std::towupper(x) < std::towupper(y);
            });
        }
    };
    std::map<std::wstring, std::wstring, NoCase> variables;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* e = block; e != nullptr && *e != L'\0'; e += wcslen(e) + 1) {
        const std::wstring entry = e;
        const size_t eq = entry.find(L'=', 1);  // names of drive directories begin with '='
        if (eq != std::wstring::npos) variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    if (block != nullptr) FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : invocation.environment) variables[Wide(name)] = Wide(value);
    std::wstring result;
    for (const auto& [name, value] : variables) result += name + L"=" + value + L'\0';
    return result + L'\0';
}

void Drain(HANDLE from, std::string& into) {
    char block[65536];
    DWORD n = 0;
    while (ReadFile(from, block, sizeof block, &n, nullptr) && n > 0) into.append(block, n);
}

void Feed(HANDLE to, const std::string& input) {
    size_t written = 0;
    while (written < input.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(input.size() - written, 1u << 20));
        DWORD n = 0;
        if (!WriteFile(to, input.data() + written, chunk, &n, nullptr)) return;  // the child stopped reading
        written += n;
    }
}

}  // namespace

Outcome RunProcess(const Invocation& invocation) {
    Outcome outcome;
    const bool merged = invocation.streams == Streams::Merged;
    Handle inRead, inWrite, outRead, outWrite, errRead, errWrite, outFile;
    if (!OpenPipe(inRead, inWrite, true) || !OpenPipe(outRead, outWrite, false) ||
        (!merged && !OpenPipe(errRead, errWrite, false))) {
        outcome.failure = Why("CreatePipe");
        return outcome;
    }
    HANDLE childOut = outWrite.get();
    if (!invocation.stdoutPath.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        // A relative name is the child's, as in a shell.
        std::filesystem::path path(Wide(invocation.stdoutPath));
        if (path.is_relative() && !invocation.directory.empty())
            path = std::filesystem::path(Wide(invocation.directory)) / path;
        outFile = Handle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (outFile.get() == nullptr) {
            outcome.failure = Why("cannot create " + invocation.stdoutPath);
            return outcome;
        }
        childOut = outFile.get();
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.get();
    startup.hStdOutput = childOut;
    startup.hStdError = merged ? childOut : errWrite.get();

    const std::wstring program = Wide(invocation.program);
    std::wstring commandLine = Wide(WindowsCommandLine(invocation.program, invocation.args));
    std::wstring environment = EnvironmentBlock(invocation);
    const std::wstring directory = Wide(invocation.directory);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        outcome.failure = Why("cannot run " + invocation.program);
        return outcome;
    }
    Handle processHandle(process.hProcess);
    CloseHandle(process.hThread);
    // Only the child holds its ends now, so that end of file comes when it ends.
    inRead.Close();
    outWrite.Close();
    errWrite.Close();
    outFile.Close();

    std::thread feeder([&] {
        Feed(inWrite.get(), invocation.input);
        inWrite.Close();
    });
    std::thread errors;
    if (!merged) errors = std::thread([&] { Drain(errRead.get(), outcome.err); });
    Drain(outRead.get(), outcome.out);
    if (errors.joinable()) errors.join();
    feeder.join();

    DWORD code = 0;
    if (WaitForSingleObject(processHandle.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(processHandle.get(), &code)) {
        outcome.failure = Why("cannot wait for " + invocation.program);
        return outcome;
    }
    outcome.exitCode = static_cast<int>(code);
    return outcome;
}

}  // namespace qeltest
