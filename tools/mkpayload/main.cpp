// mkpayload: builds, lists and unpacks the setup's payload, and compresses or expands single
// SZDD files. Exit status 0 on success, 1 on a failure, 2 on a usage error.
#include <cstdio>
#include <string>
#include <vector>

#include "host_services.h"
#include "payload/container.h"
#include "payload/extract.h"
#include "payload/szdd.h"

#ifdef _WIN32
#include "system/text.h"
#endif

namespace mkpayload {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Packs over this many input bytes report their progress file by file.
constexpr std::size_t kProgressThreshold = 1 << 20;

const char kUsageText[] =
    "Usage:\n"
    "  mkpayload pack -o PAYLOAD FILE...   compress the files into a payload, in this order\n"
    "  mkpayload list PAYLOAD               one line per record: position, stored bytes,\n"
    "                                       expanded bytes\n"
    "  mkpayload unpack PAYLOAD FILE...     write record i to the i-th file, as the setup does\n"
    "  mkpayload compress IN OUT            compress one file to SZDD (mode A)\n"
    "  mkpayload expand IN OUT              expand one SZDD file\n"
    "  mkpayload --help                     show this text\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "mkpayload: %s\n", message.c_str());
  return kFailed;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "mkpayload: %s\n%s", message.c_str(), kUsageText);
  return kUsage;
}

bool Read(const std::string& path, Bytes& out, std::string& message) {
  std::string error;
  if (ReadWholeFile(path, out, error)) return true;
  message = "'" + path + "' " + error;
  return false;
}

// Expands an SZDD file completely; false with a message when it is not one.
bool ExpandAll(std::span<const std::uint8_t> file, Bytes& out, std::string& message) {
  if (corvane::SzddExpandedLength(file) < 0) {
    message = "not an SZDD file of mode A";
    return false;
  }
  out.resize(ExpansionBound(file.size()));
  const long n = corvane::SzddExpand(file, out);
  if (n < 0) {
    message = "cannot be expanded";
    return false;
  }
  out.resize(static_cast<std::size_t>(n));
  return true;
}

int Pack(const std::vector<std::string>& args) {
  std::string output;
  std::vector<std::string> inputs;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "-o") {
      if (k + 1 == args.size()) return UsageError("-o needs a file name");
      output = args[++k];
    } else {
      inputs.push_back(args[k]);
    }
  }
  if (output.empty()) return UsageError("pack needs -o PAYLOAD");
  if (inputs.empty()) return UsageError("pack needs at least one file");

  std::vector<Bytes> contents(inputs.size());
  std::size_t totalIn = 0;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    std::string message;
    if (!Read(inputs[k], contents[k], message)) return Fail(message);
    // The setup takes an empty expansion for a failure and has room for 20,000,000 bytes.
    if (contents[k].empty())
      return Fail("'" + inputs[k] + "' is empty; the setup cannot install it");
    if (contents[k].size() > corvane::kExpansionBufferSize)
      return Fail("'" + inputs[k] +
                  "' has more than 20,000,000 bytes; the setup cannot install it");
    totalIn += contents[k].size();
  }

  const bool progress = totalIn > kProgressThreshold;
  std::vector<Bytes> files;
  std::size_t done = 0;
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    files.push_back(corvane::SzddCompress(contents[k]));
    // Every record is decoded back before the payload is trusted.
    Bytes back;
    std::string message;
    if (!ExpandAll(files.back(), back, message) || back != contents[k])
      return Fail("verification of '" + inputs[k] + "' failed: the record does not expand back");
    done += contents[k].size();
    if (progress) {
      std::fprintf(stderr, "mkpayload: %zu/%zu %s: %zu -> %zu bytes (%zu%% of input done)\n", k + 1,
                   inputs.size(), inputs[k].c_str(), contents[k].size(), files.back().size(),
                   done * 100 / totalIn);
    }
  }
  const Bytes payload = corvane::BuildPayload(files);
  if (payload.empty()) return Fail("the payload cannot be built");
  std::string error;
  if (!WriteBytes(output, payload, error)) return Fail("'" + output + "' " + error);
  std::printf("%s: %zu records, %zu bytes (from %zu)\n", output.c_str(), files.size(),
              payload.size(), totalIn);
  return kOk;
}

// Walks every record; false with a message on a malformed payload or record.
template <typename Visit>
bool WalkPayload(const Bytes& payload, Visit visit, std::string& message) {
  corvane::PayloadReader reader(payload);
  for (std::size_t position = 0;; ++position) {
    std::span<const std::uint8_t> body;
    const std::size_t offset = reader.Offset();
    switch (reader.Next(body)) {
      case corvane::PayloadReader::Result::End:
        return true;
      case corvane::PayloadReader::Result::Malformed:
        message = payload.size() - offset < 4
                      ? "malformed payload: no terminator after record " + std::to_string(position)
                      : "malformed payload: record " + std::to_string(position) +
                            " is longer than the rest of the payload";
        return false;
      case corvane::PayloadReader::Result::Record:
        if (!visit(position, body, message)) return false;
        break;
    }
  }
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("list needs exactly one payload");
  Bytes payload;
  std::string message;
  if (!Read(args[0], payload, message)) return Fail(message);
  std::string out;
  const bool ok = WalkPayload(
      payload,
      [&out](std::size_t position, std::span<const std::uint8_t> body, std::string& why) {
        Bytes expanded;
        if (!ExpandAll(corvane::SzddImageOf(body), expanded, why)) {
          why = "record " + std::to_string(position) + ": " + why;
          return false;
        }
        out += std::to_string(position) + "\t" + std::to_string(body.size()) + "\t" +
               std::to_string(expanded.size()) + "\n";
        return true;
      },
      message);
  std::fputs(out.c_str(), stdout);
  return ok ? kOk : Fail(message);
}

int Unpack(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("unpack needs a payload and at least one file");
  Bytes payload;
  std::string message;
  if (!Read(args[0], payload, message)) return Fail(message);
  std::size_t records = 0;
  const bool ok = WalkPayload(
      payload,
      [&records](std::size_t, std::span<const std::uint8_t>, std::string&) {
        ++records;
        return true;
      },
      message);
  if (!ok) return Fail(message);
  const std::vector<std::string> targets(args.begin() + 1, args.end());
  if (targets.size() != records) {
    return Fail("the payload holds " + std::to_string(records) + " records but " +
                std::to_string(targets.size()) + " files were named");
  }

  HostFileSystem files;
  FileResourceSource resources(std::move(payload));
  StderrReporter errors;
  corvane::ExtractServices services{files, resources, errors};
  const corvane::Timestamp stamp{2013, 8, 10, 7, 20, 0};
  if (!corvane::ExtractPayload(services, targets, stamp, corvane::kPayloadResourceId))
    return Fail("unpacking failed");
  return kOk;
}

int Compress(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("compress needs IN and OUT");
  Bytes data;
  std::string message;
  if (!Read(args[0], data, message)) return Fail(message);
  const Bytes file = corvane::SzddCompress(data);
  if (file.empty()) return Fail("'" + args[0] + "' is too large for the SZDD format");
  std::string error;
  if (!WriteBytes(args[1], file, error)) return Fail("'" + args[1] + "' " + error);
  return kOk;
}

int Expand(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("expand needs IN and OUT");
  Bytes file;
  std::string message;
  if (!Read(args[0], file, message)) return Fail(message);
  Bytes data;
  if (!ExpandAll(file, data, message)) return Fail("'" + args[0] + "': " + message);
  if (static_cast<long long>(data.size()) != corvane::SzddExpandedLength(file)) {
    std::fprintf(stderr, "mkpayload: note: '%s' says %lld bytes but expands to %zu\n",
                 args[0].c_str(), corvane::SzddExpandedLength(file), data.size());
  }
  std::string error;
  if (!WriteBytes(args[1], data, error)) return Fail("'" + args[1] + "' " + error);
  return kOk;
}

int Run(const std::vector<std::string>& argv) {
  if (argv.size() < 2) return UsageError("no command given");
  const std::string& command = argv[1];
  const std::vector<std::string> args(argv.begin() + 2, argv.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsageText, stdout);
    return kOk;
  }
  if (command == "pack") return Pack(args);
  if (command == "list") return List(args);
  if (command == "unpack") return Unpack(args);
  if (command == "compress") return Compress(args);
  if (command == "expand") return Expand(args);
  return UsageError("unknown command '" + command + "'");
}

}  // namespace
}  // namespace mkpayload

#ifdef _WIN32
// Wide arguments, so that any file name reaches the tool intact.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int k = 0; k < argc; ++k)
    args.push_back(corvane::Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[k])));
  return mkpayload::Run(args);
}
#else
int main(int argc, char** argv) {
  return mkpayload::Run(std::vector<std::string>(argv, argv + argc));
}
#endif
