// Starting the program on Windows: CreateProcess with pipes read in binary,
// so that the test sees every byte the program's text-mode stream wrote.
#include <windows.h>

#include <thread>

#include "process.h"

namespace {

std::string drain(HANDLE h) {
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    CloseHandle(h);
    return text;
}

// Each argument in double quotes; the test arguments hold none.
std::string command_line(const char* program, const std::vector<std::string>& args) {
    std::string line = std::string("\"") + program + "\"";
    for (const std::string& a : args)
        line += " \"" + a + "\"";
    return line;
}

} // namespace

outcome run(const char* program, sink where, const run_options& options) {
    outcome result;
    if (where != sink::pipe && where != sink::closed)
        return result; // no such sink on Windows
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out_read, out_write, err_read, err_write;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0) ||
        !CreatePipe(&err_read, &err_write, &inherit, 0))
        return result;
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE input = INVALID_HANDLE_VALUE;
    if (!options.input.empty())
        input = CreateFileA(options.input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.hStdInput = input;
    startup.hStdOutput = where == sink::closed ? INVALID_HANDLE_VALUE : out_write;
    startup.hStdError = err_write;
    std::string line = command_line(program, options.args);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (!started) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        return result;
    }
    // Both at once: a pipe holds a few kilobytes, and a program that fills
    // one while the other is read waits for ever.
    std::thread err_reader([&] { result.err = drain(err_read); });
    result.out = drain(out_read);
    err_reader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.ran = true;
    result.exit_code = static_cast<int>(code);
    return result;
}
