// Times whole processes: the cases are run in turn, round after round, so that a change in the
// machine's load falls on all of them alike. Each run's wall time comes from the clock around
// fork and wait; its CPU time and peak resident memory from the rusage of wait4.
//
//   somnara-process-bench --rounds=N --out=FILE.json
//       --case NAME DIR [--quiet] PROGRAM [ARGS...] [--case …]
// --quiet sends the program's output to /dev/null; otherwise its last line is kept.
// The first round only warms the caches and is not counted.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Case
{
    std::string name;
    std::string dir;
    bool quiet = false;
    std::vector<std::string> command;
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
    std::vector<long> peakKiB;
    std::string lastLine;
    int failures = 0;
};

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out + "\"";
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template<typename T>
std::string jsonList(const std::vector<T> &values)
{
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + std::to_string(values[i]);
    return out + "]";
}

double milliseconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

bool runOnce(Case &c, bool counted)
{
    int output[2];
    if (pipe(output) != 0)
        return false;
    // The program's complaints are kept aside and shown only when it fails.
    char errorsName[] = "/tmp/somnara-process-bench-XXXXXX";
    const int errors = mkstemp(errorsName);
    unlink(errorsName);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(c.dir.c_str()) != 0)
            _exit(127);
        const int sink = open("/dev/null", O_WRONLY);
        dup2(c.quiet ? sink : output[1], STDOUT_FILENO);
        if (errors >= 0)
            dup2(errors, STDERR_FILENO);
        close(output[0]);
        close(output[1]);
        std::vector<char *> argv;
        for (auto &arg : c.command)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(output[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        text.append(buffer, static_cast<size_t>(std::max<ssize_t>(got, 0)));
    close(output[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now()
                                                                - start)
                          .count();
    std::string complaints;
    if (errors >= 0) {
        lseek(errors, 0, SEEK_SET);
        while ((got = read(errors, buffer, sizeof buffer)) > 0)
            complaints.append(buffer, static_cast<size_t>(got));
        close(errors);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ++c.failures;
        std::cerr << "somnara-process-bench: " << c.name << " failed (status " << status << ")\n"
                  << complaints.substr(0, 2000);
        return false;
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    c.lastLine = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    if (counted) {
        c.wallMs.push_back(wall);
        c.cpuMs.push_back(milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime));
        c.peakKiB.push_back(usage.ru_maxrss);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 10;
    std::string out;
    std::vector<Case> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--rounds=", 0) == 0) {
            rounds = std::max(1, std::stoi(arg.substr(9)));
        } else if (arg.rfind("--out=", 0) == 0) {
            out = arg.substr(6);
        } else if (arg == "--case" && i + 2 < argc) {
            Case c;
            c.name = argv[++i];
            c.dir = argv[++i];
            if (i + 1 < argc && std::strcmp(argv[i + 1], "--quiet") == 0) {
                c.quiet = true;
                ++i;
            }
            while (i + 1 < argc && std::strcmp(argv[i + 1], "--case") != 0)
                c.command.emplace_back(argv[++i]);
            cases.push_back(std::move(c));
        } else {
            std::cerr << "somnara-process-bench: unknown argument " << arg << '\n';
            return 2;
        }
    }
    if (cases.empty() || out.empty() || std::any_of(cases.begin(), cases.end(), [](const Case &c) {
            return c.command.empty();
        })) {
        std::cerr << "usage: somnara-process-bench --rounds=N --out=FILE --case NAME DIR "
                     "[--quiet] PROGRAM [ARGS...] ...\n";
        return 2;
    }

    for (int round = 0; round <= rounds; ++round) {
        for (auto &c : cases)
            runOnce(c, round > 0);
    }

    std::ofstream json(out);
    json << "{\n";
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        std::vector<double> peaks(c.peakKiB.begin(), c.peakKiB.end());
        json << "  " << jsonString(c.name) << ": {\"runs\": " << c.wallMs.size()
             << ", \"failures\": " << c.failures << ", \"wall_ms\": " << median(c.wallMs)
             << ", \"cpu_ms\": " << median(c.cpuMs) << ", \"peak_kib\": " << median(peaks)
             << ", \"all_wall_ms\": " << jsonList(c.wallMs) << ", \"all_peak_kib\": "
             << jsonList(c.peakKiB) << ", \"output\": " << jsonString(c.lastLine) << "}"
             << (i + 1 < cases.size() ? "," : "") << "\n";
    }
    json << "}\n";
    for (const auto &c : cases) {
        std::cerr << c.name << ": median " << median(c.wallMs) << " ms wall, "
                  << median(c.cpuMs) << " ms CPU, over " << c.wallMs.size() << " runs\n";
    }
    return std::all_of(cases.begin(), cases.end(), [](const Case &c) { return c.failures == 0; })
               ? 0
               : 1;
}
