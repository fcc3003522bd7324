// mkpayload: builds, lists and unpacks the setup's payload (from the payload file or from a
// built setup), and compresses or expands single SZDD files. Exit status 0 on success, 1 on a
// failure, 2 on a usage error.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host_services.h"
#include "payload/container.h"
#include "payload/extract.h"
#include "payload/pe_resource.h"
#include "payload/sha256.h"
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
    "  mkpayload pack -o PAYLOAD [--no-digests] FILE...\n"
    "                                       compress the files into a payload, in this order,\n"
    "                                       with their SHA-256 digests (unless --no-digests)\n"
    "  mkpayload list PAYLOAD               one line per record: position, stored bytes,\n"
    "                                       expanded bytes, SHA-256 of the expanded bytes\n"
    "  mkpayload unpack PAYLOAD FILE...     write record i to the i-th file, as the setup does\n"
    "                                       (PAYLOAD may also be a built CorvaneSetup.exe)\n"
    "  mkpayload sums PAYLOAD OUT [--first K] NAME...\n"
    "                                       write the packed digests of records K, K+1, ...\n"
    "                                       (default 0) to OUT as sha256sum -c reads them,\n"
    "                                       under the given names\n"
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

// A payload file, or the payload resource (RCDATA 129) of a built setup. Every record of a
// payload starts with the rest of the SZDD signature, so a payload whose first length happens to
// begin with "MZ" is still told apart from a program.
bool ReadPayload(const std::string& path, Bytes& out, std::string& message) {
  Bytes file;
  if (!Read(path, file, message)) return false;
  const bool program =
      file.size() >= 8 && file[0] == 'M' && file[1] == 'Z' &&
      !std::equal(corvane::kSzddMagic.begin() + 4, corvane::kSzddMagic.end(), file.begin() + 4);
  if (!program) {
    out = std::move(file);
    return true;
  }
  using Status = corvane::PeResourceLookup::Status;
  const corvane::PeResourceLookup found =
      corvane::FindPeResource(file, corvane::kResourceTypeRcData, corvane::kPayloadResourceId);
  switch (found.status) {
    case Status::Found:
      out.assign(found.data.begin(), found.data.end());
      return true;
    case Status::Missing:
      message = "'" + path + "' is a program without a payload (no resource RCDATA 129)";
      return false;
    case Status::NotPe:
    case Status::Damaged:
      break;
  }
  message =
      "'" + path + "' is neither a payload nor a readable program: " + std::string(found.detail);
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

// Expands a record and compares it with its packed digest (none: empty); false with a message.
bool ExpandRecord(std::size_t position, std::span<const std::uint8_t> body,
                  std::span<const std::uint8_t> packed, Bytes& out, std::string& message) {
  bool ok = ExpandAll(corvane::SzddImageOf(body), out, message);
  if (ok && !packed.empty()) {
    const corvane::Sha256Digest actual = corvane::Sha256Of(out);
    if (!std::equal(actual.begin(), actual.end(), packed.begin())) {
      message = "expands to SHA-256 " + corvane::DigestHex(actual) + ", packed as " +
                corvane::DigestHex(packed);
      ok = false;
    }
  }
  if (!ok) message = "record " + std::to_string(position) + ": " + message;
  return ok;
}

int Pack(const std::vector<std::string>& args) {
  std::string output;
  std::vector<std::string> inputs;
  bool digests = true;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "-o") {
      if (k + 1 == args.size()) return UsageError("-o needs a file name");
      output = args[++k];
    } else if (args[k] == "--no-digests") {
      digests = false;  // a payload as older setups carried it, for tests and benchmarks
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
  Bytes payload = corvane::BuildPayload(files);
  if (payload.empty()) return Fail("the payload cannot be built");
  if (digests) {
    std::vector<corvane::Sha256Digest> records;
    for (const Bytes& content : contents) records.push_back(corvane::Sha256Of(content));
    const Bytes block = corvane::DigestBlock(corvane::Sha256Of(payload), records);
    payload.insert(payload.end(), block.begin(), block.end());
  }
  std::string error;
  if (!WriteBytes(output, payload, error)) return Fail("'" + output + "' " + error);
  std::printf("%s: %zu records, %zu bytes (from %zu)\n", output.c_str(), files.size(),
              payload.size(), totalIn);
  return kOk;
}

// Walks every record; false with a message on a malformed payload or record, or on records that
// differ from the payload's digests. `visit` gets each record's packed digest, empty when the
// payload has none.
template <typename Visit>
bool WalkPayload(const Bytes& payload, Visit visit, std::string& message) {
  const corvane::PayloadDigests digests = corvane::ReadDigests(payload);
  const bool present = digests.status == corvane::PayloadDigests::Status::Present;
  // Without a terminator the walk below says where it is missing.
  if (digests.status == corvane::PayloadDigests::Status::Malformed && !digests.container.empty()) {
    message = "malformed payload: " + std::string(digests.problem);
    return false;
  }
  if (present) {
    const corvane::Sha256Digest actual = corvane::Sha256Of(digests.container);
    if (!std::equal(actual.begin(), actual.end(), digests.containerDigest.begin())) {
      message = "damaged payload: the records' SHA-256 is " + corvane::DigestHex(actual) +
                ", packed as " + corvane::DigestHex(digests.containerDigest);
      return false;
    }
  }
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
        if (!visit(position, body,
                   present ? digests.RecordDigest(position) : std::span<const std::uint8_t>(),
                   message))
          return false;
        break;
    }
  }
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("list needs exactly one payload");
  Bytes payload;
  std::string message;
  if (!ReadPayload(args[0], payload, message)) return Fail(message);
  std::string out;
  bool digests = false;
  const bool ok = WalkPayload(
      payload,
      [&](std::size_t position, std::span<const std::uint8_t> body,
          std::span<const std::uint8_t> packed, std::string& why) {
        Bytes expanded;
        if (!ExpandRecord(position, body, packed, expanded, why)) return false;
        digests = !packed.empty();
        out += std::to_string(position) + "\t" + std::to_string(body.size()) + "\t" +
               std::to_string(expanded.size()) + "\t" +
               corvane::DigestHex(corvane::Sha256Of(expanded)) + "\n";
        return true;
      },
      message);
  std::fputs(out.c_str(), stdout);
  if (ok && !digests && !out.empty())
    std::fputs("mkpayload: note: no digests; a setup does not verify this payload\n", stderr);
  return ok ? kOk : Fail(message);
}

// Expands every record in memory, so no work file is ever written beside the user's files;
// the targets get the bytes and the file time the setup gives them.
int Unpack(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("unpack needs a payload and at least one file");
  Bytes payload;
  std::string message;
  if (!ReadPayload(args[0], payload, message)) return Fail(message);
  const std::vector<std::string> targets(args.begin() + 1, args.end());

  // Every record must expand as the setup needs before the first file is written.
  std::size_t records = 0;
  auto expand = [](std::size_t position, std::span<const std::uint8_t> body,
                   std::span<const std::uint8_t> packed, Bytes& out, std::string& why) {
    if (!ExpandRecord(position, body, packed, out, why)) return false;
    if (out.empty() || out.size() > corvane::kExpansionBufferSize) {
      why = "record " + std::to_string(position) + ": expands to " + std::to_string(out.size()) +
            " bytes, which the setup cannot install";
      return false;
    }
    return true;
  };
  bool ok = WalkPayload(
      payload,
      [&](std::size_t position, std::span<const std::uint8_t> body,
          std::span<const std::uint8_t> packed, std::string& why) {
        Bytes expanded;
        ++records;
        return expand(position, body, packed, expanded, why);
      },
      message);
  if (!ok) return Fail(message);
  if (targets.size() != records) {
    return Fail("the payload holds " + std::to_string(records) + " records but " +
                std::to_string(targets.size()) + " files were named");
  }

  HostFileSystem files;
  const corvane::Timestamp stamp{2013, 8, 10, 7, 20, 0};
  ok = WalkPayload(
      payload,
      [&](std::size_t position, std::span<const std::uint8_t> body,
          std::span<const std::uint8_t> packed, std::string& why) {
        Bytes expanded;
        if (!expand(position, body, packed, expanded, why)) return false;
        if (corvane::WriteFileStamped(files, targets[position], expanded, stamp)) return true;
        why = "'" + targets[position] + "' cannot be written";
        return false;
      },
      message);
  return ok ? kOk : Fail(message);
}

// The packed digests of a run of records as `sha256sum -c` reads them: "<hex>  <name>" a line,
// LF line ends. Each record is expanded and checked against its digest first.
int Sums(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("sums needs a payload and an output file");
  std::size_t first = 0;
  std::vector<std::string> names;
  for (std::size_t k = 2; k < args.size(); ++k) {
    if (args[k] == "--first") {
      if (k + 1 == args.size()) return UsageError("--first needs a record position");
      const std::string& n = args[++k];
      if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos || n.size() > 6)
        return UsageError("--first needs a record position");
      first = static_cast<std::size_t>(std::stoul(n));
    } else {
      names.push_back(args[k]);
    }
  }
  if (names.empty()) return UsageError("sums needs at least one name");
  Bytes payload;
  std::string message;
  if (!ReadPayload(args[0], payload, message)) return Fail(message);
  if (corvane::ReadDigests(payload).status != corvane::PayloadDigests::Status::Present)
    return Fail("'" + args[0] + "' has no digests (packed with --no-digests or by an older tool)");
  std::string text;
  std::size_t records = 0;
  const bool ok = WalkPayload(
      payload,
      [&](std::size_t position, std::span<const std::uint8_t> body,
          std::span<const std::uint8_t> packed, std::string& why) {
        ++records;
        if (position < first || position - first >= names.size()) return true;
        Bytes expanded;
        if (!ExpandRecord(position, body, packed, expanded, why)) return false;
        text += corvane::DigestHex(packed) + "  " + names[position - first] + "\n";
        return true;
      },
      message);
  if (!ok) return Fail(message);
  if (first + names.size() > records) {
    return Fail("the payload holds " + std::to_string(records) + " records, fewer than " +
                std::to_string(first + names.size()));
  }
  std::string error;
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                            text.size());
  if (!WriteBytes(args[1], bytes, error)) return Fail("'" + args[1] + "' " + error);
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
  if (command == "sums") return Sums(args);
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
