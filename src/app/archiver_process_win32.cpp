#include "app/archiver_process_win32.h"

#include <vector>

#include "platform/win32/handle.h"

namespace rw::app {
namespace {

platform::KernelHandle openNullDevice(DWORD access) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return platform::KernelHandle(CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                              OPEN_EXISTING, 0, nullptr));
}

// The child inherits exactly its three standard handles, nothing else that
// happens to be inheritable at the time.
class HandleList {
public:
    explicit HandleList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (size && InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            initialised_ = true;
            if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                          handles_.size() * sizeof(HANDLE), nullptr, nullptr))
                list_ = list;
        }
    }
    HandleList(const HandleList&) = delete;
    HandleList& operator=(const HandleList&) = delete;
    ~HandleList() {
        if (initialised_) DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()));
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> storage_;
    bool initialised_ = false;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

std::optional<DWORD> runArchiver(const ArchiverCommand& command, HANDLE output) {
    platform::KernelHandle input = openNullDevice(GENERIC_READ);
    platform::KernelHandle discard = openNullDevice(GENERIC_WRITE);
    if (!input || !discard) return std::nullopt;
    const HANDLE out = output ? output : discard.get();

    std::vector<HANDLE> inherited{input.get(), discard.get()};
    if (out != discard.get()) inherited.push_back(out);
    HandleList handles(inherited);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = handles.get() ? sizeof(STARTUPINFOEXW) : sizeof(STARTUPINFOW);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = out;
    startup.StartupInfo.hStdError = discard.get();
    startup.lpAttributeList = handles.get();
    // No console at all: nothing flashes on screen, and no console host holds
    // on to the redirected handles after the program has ended.
    DWORD flags = DETACHED_PROCESS;
    if (handles.get()) flags |= EXTENDED_STARTUPINFO_PRESENT;

    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> commandLine(command.commandLine.begin(), command.commandLine.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(command.program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                        &startup.StartupInfo, &process))
        return std::nullopt;
    platform::KernelHandle processHandle(process.hProcess);
    platform::KernelHandle threadHandle(process.hThread);

    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(processHandle.get(), &exitCode)) return std::nullopt;
    return exitCode;
}

}  // namespace rw::app
