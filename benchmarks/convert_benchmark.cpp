// Conversion of one Plus / X document into a scratch folder, with the pauses
// as no-ops, beside two yardsticks measured in the same run. Both make a file
// as durable as the conversion makes its document: its data synced (fsync)
// before it counts as written, then its folder synced, so that the ratios
// compare like with like:
//   - one write() of as many bytes as the document written;
//   - writing as many records as the document holds, each a bare write() of its
//     size: the floor that flushing every record on its own sets.
// At the end the ratios are printed. The scratch folder is $QMK_BENCH_TMPDIR
// or the system's temporary folder.
#include "conversion/Conversion.h"
#include "platform/Worker.h"
#include "reader/Reader.h"
#include "writer/Writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTypical = 100;
constexpr int kLargest = 32767;

// A Plus / X document with n journal records: version word 4000, the journal
// count at 8, account slots and records chained one to the next.
std::string plusXDocument(int n) {
    std::string d(129692 + 82 * static_cast<size_t>(n), '\0');
    auto be16 = [&](size_t off, int v) {
        d[off] = static_cast<char>((v >> 8) & 0xFF);
        d[off + 1] = static_cast<char>(v & 0xFF);
    };
    be16(0, 4000);
    be16(8, n);
    for (int k = 1; k <= 1000; ++k) {
        size_t o = 1548 + 128 * static_cast<size_t>(k);
        be16(o, k), be16(o + 2, k - 1), be16(o + 4, k == 1000 ? 0 : k + 1);
        d[o + 8] = 6;
        d.replace(o + 9, 6, "Compte");
    }
    for (int i = 1; i <= n; ++i) {
        size_t o = 129692 + 82 * static_cast<size_t>(i - 1);
        be16(o, i), be16(o + 2, i - 1), be16(o + 4, i == n ? 0 : i + 1);
        d[o + 10] = 9;
        d.replace(o + 11, 9, "Ecriture ");
    }
    return d;
}

size_t outputSize(int n) {
    return 129820 + 128 * static_cast<size_t>(n);
}

// The record sizes of the written document, in order.
std::vector<size_t> recordSizes(int n) {
    std::vector<size_t> r;
    r.push_back(512); // the header
    r.insert(r.end(), 31, 24);
    r.insert(r.end(), 6, 42);
    r.push_back(16);
    r.insert(r.end(), 1002, 128);
    r.push_back(16);
    r.insert(r.end(), static_cast<size_t>(n), 128);
    return r;
}

const fs::path& scratch() {
    static fs::path dir = [] {
        const char* base = std::getenv("QMK_BENCH_TMPDIR");
        std::string tmpl =
            ((base ? fs::path(base) : fs::temp_directory_path()) / "qmk-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        return fs::path(tmpl);
    }();
    return dir;
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Convert(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const fs::path src = scratch() / ("ledger" + std::to_string(n) + ".qmkx");
    writeFile(src, plusXDocument(n));
    const fs::path out = scratch() / ("ledger" + std::to_string(n) + ".qmkp");
    qmk::InstantPacer pacer;
    qmk::ScopedPacer scoped(pacer);
    qmk::ConversionHandoff s;
    for (auto _ : state) {
        s.setFileToConvert(qmk::FolderItem(src));
        qmk::convertThread_Run(s, {});
        state.PauseTiming();
        if (!s.errorMsg().empty() || fs::file_size(out) != outputSize(n)) {
            state.SkipWithError(("conversion failed: " + s.takeErrorMsg()).c_str());
            break;
        }
        fs::remove(out);
        state.ResumeTiming();
    }
    fs::remove(src);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * outputSize(n)));
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peakRSS_MB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// The writer alone, from a state read once: its share of the conversion.
void Save(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const fs::path src = scratch() / ("saved" + std::to_string(n) + ".qmkx");
    writeFile(src, plusXDocument(n));
    const fs::path out = scratch() / ("saved" + std::to_string(n) + ".qmkp");
    qmk::InstantPacer pacer;
    qmk::ScopedPacer scoped(pacer);
    qmk::ConversionHandoff h;
    qmk::ConversionDocument s{qmk::FolderItem(src)};
    s.fileBS = qmk::BinaryStream::Open(qmk::FolderItem(src));
    s.qmkaVrs = std::make_unique<qmk::VLQmkaProVersion>();
    qmk::ResetQmkaVersion(s);
    s.version = s.fileBS->ReadInt16();
    qmk::ReadQuillmarkXDoc(s, h);
    for (auto _ : state) {
        qmk::save(s, h);
        state.PauseTiming();
        fs::remove(out);
        s.fileBS = qmk::BinaryStream::Open(qmk::FolderItem(src)); // save takes its place
        state.ResumeTiming();
    }
    fs::remove(src);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * outputSize(n)));
}

// What the conversion does to make a written file durable: the file's data on
// the disk, then its folder (which holds the new name).
void syncFileAndFolder(int fd, const fs::path& folder) {
    if (::fsync(fd) != 0)
        std::abort();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0)
        std::abort();
    ::close(dir);
}

void OneWrite(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const fs::path to = scratch() / ("one-write" + std::to_string(n));
    const std::string bytes(outputSize(n), 'x');
    for (auto _ : state) {
        int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        syncFileAndFolder(fd, scratch());
        ::close(fd);
        state.PauseTiming();
        fs::remove(to);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * outputSize(n)));
}

void BareWrites(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const fs::path to = scratch() / ("bare" + std::to_string(n));
    const std::vector<size_t> sizes = recordSizes(n);
    const std::string buf(512, 'x');
    for (auto _ : state) {
        int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            std::abort();
        for (size_t sz : sizes)
            if (::write(fd, buf.data(), sz) != static_cast<ssize_t>(sz))
                std::abort();
        syncFileAndFolder(fd, scratch());
        ::close(fd);
        state.PauseTiming();
        fs::remove(to);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * outputSize(n)));
}

BENCHMARK(Convert)->Arg(kTypical)->Arg(kLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(Save)->Arg(kTypical)->Arg(kLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(OneWrite)->Arg(kTypical)->Arg(kLargest)->Unit(benchmark::kMillisecond);
BENCHMARK(BareWrites)->Arg(kTypical)->Arg(kLargest)->Unit(benchmark::kMillisecond);

// Keeps the real (wall-clock) time per iteration of every benchmark, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // One figure per benchmark: its median when repeated, else its one run.
        for (const Run& r : runs) {
            if (r.error_occurred)
                continue;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians[r.run_name.str()] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Iteration)
                times[r.run_name.str()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double time(const std::string& name) const {
        if (auto it = medians.find(name); it != medians.end())
            return it->second;
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    }

  private:
    std::map<std::string, double> times, medians;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int n : {kTypical, kLargest}) {
        std::string a = "/";
        a += std::to_string(n);
        auto t = [&](const std::string& name) { return reporter.time(name + a); };
        const double conv = t("Convert"), save = t("Save"), one = t("OneWrite"),
                     bare = t("BareWrites");
        if (conv > 0 && one > 0 && bare > 0)
            std::cout << n << " journal records: conversion = " << conv / bare
                      << " x the bare-write floor, " << conv / one
                      << " x one write; writer alone = " << save / bare << " x the floor, "
                      << save / one << " x one write (every floor synced as the document is)\n";
    }
    fs::remove_all(scratch());
    benchmark::Shutdown();
    return 0;
}
