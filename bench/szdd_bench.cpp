// Packing and expansion figures of our SZDD codec set against its peers, on the same files in
// one run: mscompress/msexpand (the Debian mscompress package), libmspack's SZDD decompressor
// in memory, and an independently computed optimal size; beside the expansion, the SHA-256 the
// setup computes over every expanded file. Times are medians of several runs.
//
//   szdd_bench [--runs N] [--mkpayload PATH] FILE...
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "mspack_memory.h"
#include "payload/sha256.h"
#include "payload/szdd.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

bool ReadFile(const std::string& path, Bytes& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  std::uint8_t buf[1 << 16];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + got);
  std::fclose(f);
  return true;
}

bool WriteFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median wall time in seconds of `runs` calls of `work`.
double TimeMedian(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  return Median(times);
}

bool Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ---- Independent optimal bound ---------------------------------------------------------
// Exact longest matches by walking complete hash chains of 3-byte prefixes (every earlier
// position with the same three bytes, no chain limit), then the cheapest parse by dynamic
// programming in bits (9 per literal, 17 per reference), then its exact byte size.
std::size_t OptimalBound(const Bytes& data) {
  constexpr std::size_t kWin = 4096, kMax = 18, kMin = 3;
  const std::size_t n = data.size();
  Bytes ext(kWin + n, ' ');
  std::copy(data.begin(), data.end(), ext.begin() + static_cast<std::ptrdiff_t>(kWin));
  const std::size_t total = ext.size();
  std::vector<std::uint32_t> head(1 << 24, UINT32_MAX);
  std::vector<std::uint32_t> prev(total, UINT32_MAX);
  std::vector<std::uint8_t> longest(n, 0);
  for (std::size_t pos = 0; pos + kMin <= total; ++pos) {
    const std::size_t key = ext[pos] | ext[pos + 1] << 8 | ext[pos + 2] << 16;
    if (pos >= kWin) {
      const std::size_t limit = std::min(kMax, total - pos);
      std::size_t best = 0;
      for (std::uint32_t c = head[key]; c != UINT32_MAX && pos - c <= kWin; c = prev[c]) {
        std::size_t len = 0;
        while (len < limit && ext[c + len] == ext[pos + len]) ++len;
        best = std::max(best, len);
        if (best == limit) break;
      }
      longest[pos - kWin] = static_cast<std::uint8_t>(best >= kMin ? best : 0);
    }
    prev[pos] = head[key];
    head[key] = static_cast<std::uint32_t>(pos);
  }
  struct Cell {
    std::uint64_t bits;
    std::uint64_t literals, references;
  };
  std::vector<Cell> best(n + 1, Cell{0, 0, 0});
  for (std::size_t i = n; i-- > 0;) {
    Cell c{best[i + 1].bits + 9, best[i + 1].literals + 1, best[i + 1].references};
    for (std::size_t len = kMin; len <= longest[i]; ++len) {
      if (best[i + len].bits + 17 < c.bits)
        c = {best[i + len].bits + 17, best[i + len].literals, best[i + len].references + 1};
    }
    best[i] = c;
  }
  const std::uint64_t items = best[0].literals + best[0].references;
  return corvane::kSzddHeaderSize + (items + 7) / 8 + best[0].literals + 2 * best[0].references;
}

struct FileFigures {
  std::string name;
  std::size_t size = 0;
  std::size_t ours = 0, bound = 0, theirs = 0;
  double packSeconds = 0;      // SzddCompress in memory
  double expandSeconds = 0;    // SzddExpand in memory
  double sha256Seconds = 0;    // SHA-256 of the expanded bytes, in memory
  double mspackSeconds = 0;    // libmspack in memory
  double toolPack = 0;         // mkpayload compress, wall
  double toolExpand = 0;       // mkpayload expand, wall
  double msexpandSeconds = 0;  // msexpand, wall
};

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string mkpayload;
  std::vector<std::string> paths;
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "--runs" && k + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++k]));
    } else if (a == "--mkpayload" && k + 1 < argc) {
      mkpayload = argv[++k];
    } else {
      paths.push_back(a);
    }
  }
  if (paths.empty()) {
    std::fprintf(stderr, "usage: szdd_bench [--runs N] [--mkpayload PATH] FILE...\n");
    return 2;
  }

  char tmpl[] = "/tmp/corvane-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string work = tmpl;

  std::vector<FileFigures> figures;
  std::vector<Bytes> inputs;
  for (const std::string& path : paths) {
    Bytes data;
    if (!ReadFile(path, data) || data.empty()) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 1;
    }
    FileFigures f;
    f.name = BaseName(path);
    f.size = data.size();
    inputs.push_back(std::move(data));
    figures.push_back(f);
  }

  bool allGood = true;
  std::string theirList;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const Bytes& data = inputs[k];
    FileFigures& f = figures[k];
    std::fprintf(stderr, "measuring %s (%zu bytes)\n", f.name.c_str(), f.size);

    Bytes ours;
    f.packSeconds = TimeMedian(runs, [&] { ours = corvane::SzddCompress(data); });
    f.ours = ours.size();
    f.bound = OptimalBound(data);

    Bytes out(data.size() + 1);
    long got = 0;
    f.expandSeconds = TimeMedian(runs * 3, [&] { got = corvane::SzddExpand(ours, out); });
    if (got != static_cast<long>(data.size()) ||
        !std::equal(data.begin(), data.end(), out.begin())) {
      std::fprintf(stderr, "%s: our expansion differs\n", f.name.c_str());
      allGood = false;
    }
    corvane::Sha256Digest digest{};
    f.sha256Seconds = TimeMedian(runs * 3, [&] { digest = corvane::Sha256Of(data); });
    if (digest != corvane::Sha256Of(data)) allGood = false;
    std::fill(out.begin(), out.end(), 0);
    f.mspackSeconds = TimeMedian(runs * 3, [&] {
      got = MspackSzddExpand(ours.data(), ours.size(), out.data(), out.size());
    });
    if (got != static_cast<long>(data.size()) ||
        !std::equal(data.begin(), data.end(), out.begin())) {
      std::fprintf(stderr, "%s: libmspack's expansion of our file differs\n", f.name.c_str());
      allGood = false;
    }

    const std::string plain = work + "/" + std::to_string(k) + ".bin";
    const std::string packed = work + "/" + std::to_string(k) + ".sz";
    WriteFile(plain, data);
    WriteFile(packed, ours);
    theirList += " '" + plain + "'";
    f.msexpandSeconds = TimeMedian(runs, [&] { Shell("msexpand < '" + packed + "' > /dev/null"); });
    if (!mkpayload.empty()) {
      const std::string tool = "'" + mkpayload + "' ";
      f.toolPack = TimeMedian(
          runs, [&] { Shell(tool + "compress '" + plain + "' '" + work + "/tool.sz'"); });
      f.toolExpand = TimeMedian(
          runs, [&] { Shell(tool + "expand '" + packed + "' '" + work + "/tool.out'"); });
    }
  }

  // mscompress packs all files in one call, as a packaging step would.
  std::fprintf(stderr, "measuring mscompress\n");
  const double msPack = TimeMedian(runs, [&] {
    Shell("rm -f '" + work + "'/*.bin_");
    Shell("mscompress" + theirList + " > /dev/null");
  });
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    Bytes theirs;
    if (ReadFile(work + "/" + std::to_string(k) + ".bin_", theirs))
      figures[k].theirs = theirs.size();
  }
  Shell("rm -rf '" + work + "'");

  FileFigures sum;
  sum.name = "corpus";
  for (const FileFigures& f : figures) {
    sum.size += f.size;
    sum.ours += f.ours;
    sum.bound += f.bound;
    sum.theirs += f.theirs;
    sum.packSeconds += f.packSeconds;
    sum.expandSeconds += f.expandSeconds;
    sum.sha256Seconds += f.sha256Seconds;
    sum.mspackSeconds += f.mspackSeconds;
    sum.toolPack += f.toolPack;
    sum.toolExpand += f.toolExpand;
    sum.msexpandSeconds += f.msexpandSeconds;
  }

  std::printf("Sizes in bytes (medians of %d runs for times)\n", runs);
  std::printf("%-14s %10s %10s %10s %10s %9s %7s\n", "file", "input", "ours", "mscompress",
              "optimal", "vs mscmp", "=bound");
  auto sizeRow = [](const FileFigures& f) {
    std::printf("%-14s %10zu %10zu %10zu %10zu %8.2f%% %7s\n", f.name.substr(0, 14).c_str(), f.size,
                f.ours, f.theirs, f.bound,
                f.theirs
                    ? 100.0 * (1.0 - static_cast<double>(f.ours) / static_cast<double>(f.theirs))
                    : 0.0,
                f.ours == f.bound ? "yes" : "NO");
  };
  for (const FileFigures& f : figures) sizeRow(f);
  sizeRow(sum);

  const double mb = static_cast<double>(sum.size) / 1e6;
  std::printf("\nPacking the corpus (wall time)\n");
  std::printf("  mscompress, one call for all files   %8.3f s\n", msPack);
  if (!mkpayload.empty())
    std::printf("  mkpayload compress, one call a file  %8.3f s   %6.1fx faster\n", sum.toolPack,
                msPack / sum.toolPack);
  std::printf("  SzddCompress in memory               %8.3f s   %6.1fx faster  (%.1f MB/s)\n",
              sum.packSeconds, msPack / sum.packSeconds, mb / sum.packSeconds);

  std::printf("\nExpanding the corpus (our files)\n");
  std::printf("  libmspack SZDD, in memory            %8.4f s   %7.1f MB/s\n", sum.mspackSeconds,
              mb / sum.mspackSeconds);
  std::printf("  SzddExpand, in memory                %8.4f s   %7.1f MB/s   %5.2fx libmspack\n",
              sum.expandSeconds, mb / sum.expandSeconds, sum.mspackSeconds / sum.expandSeconds);
  std::printf("  SHA-256 of the expanded bytes        %8.4f s   %7.1f MB/s   %5.1f%% of expansion time\n",
              sum.sha256Seconds, mb / sum.sha256Seconds,
              100.0 * sum.sha256Seconds / sum.expandSeconds);
  std::printf("  msexpand, one call a file, wall      %8.4f s\n", sum.msexpandSeconds);
  if (!mkpayload.empty())
    std::printf("  mkpayload expand, one call a file    %8.4f s   %5.2fx msexpand\n",
                sum.toolExpand, sum.msexpandSeconds / sum.toolExpand);

  std::printf(
      "\nGoals: size >= 3.5%% below mscompress: %s (%.2f%%); equal to optimal bound: %s;\n"
      "       packing >= 8x mscompress: %s (%.1fx%s); expansion >= 2x libmspack: %s (%.2fx)\n",
      sum.ours * 1000 <= sum.theirs * 965 ? "met" : "MISSED",
      100.0 * (1.0 - static_cast<double>(sum.ours) / static_cast<double>(sum.theirs)),
      sum.ours == sum.bound ? "met" : "MISSED",
      msPack >= 8 * (mkpayload.empty() ? sum.packSeconds : sum.toolPack) ? "met" : "MISSED",
      msPack / (mkpayload.empty() ? sum.packSeconds : sum.toolPack),
      mkpayload.empty() ? ", in memory" : ", mkpayload wall",
      sum.mspackSeconds >= 2 * sum.expandSeconds ? "met" : "MISSED",
      sum.mspackSeconds / sum.expandSeconds);
  return allGood ? 0 : 1;
}
