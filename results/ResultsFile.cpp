#include "results/ResultsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#include "base/FileContents.h"
#include "base/FileDescriptor.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

enum Tag : int32_t {
  kRecordTag = 0x100,
  kResponseTag = 0x101,
  kLinkTag = 0x102,
  kChainKindTag = 0x200,
  kTestReasonTag = 0x201,
  kTestPassedTag = 0x202,
  kUrlTag = 0x300,
  kStatusCodeTag = 0x301,
  kTypeTag = 0x302,
  kSizeTag = 0x303,
  kResponseTimeTag = 0x304,
  kXRobotsTagTag = 0x305,
  kVaryTag = 0x306,
  kRawHeadersTag = 0x307,
  kStatusTextTag = 0x308,
  kLinkUrlTag = 0x400,
  kRelTag = 0x401,
  kHreflangTag = 0x402,
};

constexpr std::string_view kCorrupt = "Invalid or Corrupt Results File.";
constexpr std::string_view kUnexpectedEnd = "Unexpected end of results file.";

// Little-endian encoding, whatever the machine.
template <typename Integer>
void appendLittleEndian(std::string& out, Integer value) {
  auto bits = static_cast<std::make_unsigned_t<Integer>>(value);
  for (size_t i = 0; i < sizeof(Integer); ++i, bits >>= 8) out.push_back(static_cast<char>(bits & 0xFF));
}

class RecordEncoder {
 public:
  explicit RecordEncoder(std::string& out) : out_(out) {}
  void tag(Tag tag) { appendLittleEndian<int32_t>(out_, tag); }
  void number(Tag tag, int64_t value) {
    this->tag(tag);
    appendLittleEndian<int64_t>(out_, value);
  }
  void text(Tag tag, std::string_view value) {
    if (value.empty()) return;  // absent text costs nothing (stored text is never present and empty)
    this->tag(tag);
    appendLittleEndian<int32_t>(out_, static_cast<int32_t>(value.size()));
    out_.append(value);
  }
  void text(Tag tag, const char* value) { text(tag, textOf(value)); }

 private:
  std::string& out_;
};

thread_local std::string unpackedHeaders;  // reused: a save unpacks millions of header blocks

void encodeRecord(const ResultRecord& record, TestMode testMode, std::string& out) {
  RecordEncoder e(out);
  e.tag(kRecordTag);
  e.number(kChainKindTag, record.chainKind);
  if (testMode != TestMode::None) {
    e.text(kTestReasonTag, record.testReason);
    e.number(kTestPassedTag, record.testPassed);
  }
  for (int j = 0; j < record.responseCount; ++j) {
    const ResponseRecord& r = record.responses[j];
    e.tag(kResponseTag);
    e.text(kUrlTag, r.url);
    if (r.statusCode > 0) e.number(kStatusCodeTag, r.statusCode);
    e.text(kStatusTextTag, r.statusText);
    e.text(kTypeTag, r.type);
    if (r.size >= 0) e.number(kSizeTag, r.size);
    if (r.statusCode > 0) e.number(kResponseTimeTag, r.responseTime);
    e.text(kXRobotsTagTag, r.xRobotsTag);
    e.text(kVaryTag, r.vary);
    e.text(kRawHeadersTag, r.rawHeaders.text(unpackedHeaders));
    for (int k = 0; k < r.linkCount; ++k) {
      e.tag(kLinkTag);
      e.text(kLinkUrlTag, r.links[k].link);
      e.text(kRelTag, r.links[k].rel);
      e.text(kHreflangTag, r.links[k].hreflang);
    }
  }
}

// Reads the file through a buffer, always knowing how many bytes are left.
class FileReader {
 public:
  explicit FileReader(FileDescriptor fd) : fd_(std::move(fd)) {
    struct stat info {};
    left_ = ::fstat(fd_.get(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
  }

  uint64_t left() const { return left_ + (end_ - position_); }
  bool atEnd() { return left() == 0; }

  // False when fewer bytes than asked for are there.
  bool read(void* into, size_t count) {
    auto* out = static_cast<char*>(into);
    while (count > 0) {
      if (position_ == end_ && !refill()) return false;
      const size_t take = std::min(count, end_ - position_);
      std::memcpy(out, buffer_.get() + position_, take);
      position_ += take, out += take, count -= take;
    }
    return true;
  }

  template <typename Integer>
  bool readLittleEndian(Integer& value) {
    std::array<unsigned char, sizeof(Integer)> bytes;
    if (!read(bytes.data(), bytes.size())) return false;
    std::make_unsigned_t<Integer> bits = 0;
    for (size_t i = sizeof(Integer); i-- > 0;) bits = (bits << 8) | bytes[i];
    value = static_cast<Integer>(bits);
    return true;
  }

  // A text of length bytes, or of the bytes that are left when the file is shorter: never more
  // is allocated than the file holds.
  void readText(std::string& text, uint64_t length) {
    text.resize(static_cast<size_t>(std::min(length, left())));
    read(text.data(), text.size());
  }

 private:
  bool refill() {
    if (left_ == 0) return false;
    const ssize_t got = readSome(fd_.get(), buffer_.get(), kBufferBytes);
    if (got <= 0) {
      left_ = 0;
      return false;
    }
    position_ = 0;
    end_ = static_cast<size_t>(got);
    left_ -= std::min<uint64_t>(left_, end_);
    return true;
  }

  static constexpr size_t kBufferBytes = size_t{1} << 20;
  FileDescriptor fd_;
  std::unique_ptr<char[]> buffer_{new char[kBufferBytes]};  // on the heap: too big for a stack
  size_t position_ = 0;
  size_t end_ = 0;
  uint64_t left_;
};

// The state of one record while it is read.
struct RecordReader {
  FileReader& in;
  std::array<HopRecord, kHopsPerChain>& hops;
  TestMode& testMode;
  int64_t& responses;

  // Reads from after a record tag to the next record tag (consumed) or the end of the file.
  // Sets hopCount; returns the error text, or nothing.
  std::optional<std::string_view> read(size_t& hopCount, bool& nextRecord) {
    // Record fields, in any order, until the first response.
    int64_t kind = kChainPlain;
    int64_t passed = 1;
    std::string reason;
    int32_t tag = 0;
    for (;;) {
      if (auto failure = readTag(tag)) return failure;
      if (tag == kChainKindTag) {
        if (auto failure = readNumber(kind)) return failure;
      } else if (tag == kTestPassedTag) {
        if (auto failure = readNumber(passed)) return failure;
        testMode = TestMode::Canonical;
      } else if (tag == kTestReasonTag) {
        if (auto failure = readText(reason)) return failure;
        testMode = TestMode::Canonical;
      } else if (tag == kResponseTag) {
        break;
      } else {
        return kCorrupt;
      }
    }
    hopCount = 0;
    nextRecord = false;
    const auto failure = readResponses(hopCount, nextRecord);
    hops[0].kind = kind;
    hops[0].testPassed = static_cast<uint8_t>(passed);
    hops[0].testNote = std::move(reason);
    return failure;
  }

  // Responses, each until the next response, the next record or the end of the file.
  std::optional<std::string_view> readResponses(size_t& hopCount, bool& nextRecord) {
    int32_t tag = 0;
    for (;;) {
      if (hopCount == kHopsPerChain) return kCorrupt;
      HopRecord& hop = hops[hopCount++];
      hop.url.clear();
      hop.resetResponse();
      ++responses;
      bool inLinks = false;
      for (;;) {
        if (in.atEnd()) return std::nullopt;
        if (auto failure = readTag(tag)) return failure;
        if (tag == kResponseTag) break;
        if (tag == kRecordTag) {
          nextRecord = true;
          return std::nullopt;
        }
        if (tag == kLinkTag) {
          if (hop.linkCount == kMaxLinksPerResponse) return kCorrupt;
          hop.addLink();
          inLinks = true;
          continue;
        }
        if (tag >= kLinkUrlTag && tag <= kHreflangTag) {
          if (!inLinks) return kCorrupt;
          LinkEntry& link = hop.links[static_cast<size_t>(hop.linkCount - 1)];
          std::string& field = tag == kLinkUrlTag ? link.link : tag == kRelTag ? link.rel : link.hreflang;
          if (auto failure = readText(field)) return failure;
          continue;
        }
        if (inLinks) return kCorrupt;
        if (auto failure = readResponseField(tag, hop)) return failure;
      }
    }
  }

  std::optional<std::string_view> readTag(int32_t& tag) {
    return in.readLittleEndian(tag) ? std::nullopt : std::optional<std::string_view>(kUnexpectedEnd);
  }

  std::optional<std::string_view> readText(std::string& text) {
    int32_t length = 0;
    if (!in.readLittleEndian(length)) return kUnexpectedEnd;
    if (length < 0) return kCorrupt;
    in.readText(text, static_cast<uint64_t>(length));
    return std::nullopt;
  }

  std::optional<std::string_view> readNumber(int64_t& value) {
    return in.readLittleEndian(value) ? std::nullopt : std::optional<std::string_view>(kUnexpectedEnd);
  }

  // A number the store keeps narrowed: one it could not keep as read is not ours.
  std::optional<std::string_view> readNumberIn(int64_t& value, int64_t lowest, int64_t highest) {
    if (auto problem = readNumber(value)) return problem;
    return value < lowest || value > highest ? std::optional<std::string_view>(kCorrupt) : std::nullopt;
  }

  std::optional<std::string_view> readResponseField(int32_t tag, HopRecord& hop) {
    switch (tag) {
      case kUrlTag: return readText(hop.url);
      case kStatusCodeTag: return readNumberIn(hop.statusCode, 0, kMaxStatusCode);
      case kTypeTag: return readText(hop.contentType);
      case kSizeTag: return readNumber(hop.size);
      case kResponseTimeTag: return readNumberIn(hop.responseTime, -1, kMaxResponseTime);
      case kXRobotsTagTag: return readText(hop.xRobotsTag);
      case kVaryTag: return readText(hop.vary);
      case kRawHeadersTag: return readText(hop.rawHeaders);
      case kStatusTextTag: return readText(hop.statusText);
      default: return kCorrupt;
    }
  }
};

}  // namespace

std::string resultsTemporaryName(const fs::path& target) { return target.stem().string() + ".tvltemp"; }

std::string resultsFileHeader(int64_t count) {
  std::string bytes;
  appendLittleEndian<int32_t>(bytes, kResultsFileMagic);
  appendLittleEndian<int64_t>(bytes, count);
  bytes.push_back(static_cast<char>(kResultsFileMajor));
  bytes.push_back(static_cast<char>(kResultsFileMinor));
  return bytes;
}

namespace {

std::optional<Message> openForSave(const fs::path& path, FileReplacement& file) {
  std::error_code ignored;
  if (fs::is_directory(path, ignored)) return errorMessage(kSaveOverFolderMessage);
  if (!file.open(path, resultsTemporaryName(path))) return errorMessage("Cannot create temporary file");
  return std::nullopt;
}

}  // namespace

std::optional<Message> saveRefusal(const fs::path& path) {
  FileReplacement probe;
  std::optional<Message> refusal = openForSave(path, probe);
  if (!refusal) probe.discard();
  return refusal;
}

std::optional<Message> saveResults(const ResultStore& store, TestMode testMode, const fs::path& path,
                                       const TaskProgress& progress, const std::atomic<bool>* quitting) {
  FileReplacement file;
  if (std::optional<Message> refusal = openForSave(path, file)) return refusal;
  const Message writeError = errorMessage(kResultsWriteErrorMessage);
  // Records added after this count are left to the next save: the workers may go on adding.
  const int64_t count = store.count();
  std::string bytes = resultsFileHeader(count);
  if (!file.write(bytes)) return writeError;
  const int64_t step = count / 100 + 1;
  for (int64_t i = 0; i < count; ++i) {
    if (quitting && quitting->load()) return errorMessage(kStoppedBeforeCompleteMessage);
    if (progress && i % step == 0) progress(i, count, progressText("Saving", i + 1, count));
    bytes.clear();
    encodeRecord(*store.recordAtIndex(i), testMode, bytes);
    if (!file.write(bytes)) return writeError;
  }
  if (!file.finish()) return writeError;
  // rename replaces the old file in one step: there is never a moment without one.
  if (!file.replaceTarget()) return errorMessage("Cannot rename temporary file. Save Aborted.");
  if (progress) progress(count, count, progressText("Saving", count, count));
  return std::nullopt;
}

LoadOutcome readResults(const fs::path& path, const RecordVisitor& visit, const TaskProgress& progress,
                        const std::atomic<bool>* quitting) {
  LoadOutcome outcome;
  FileDescriptor fd = openFile(path.c_str(), O_RDONLY);
  if (!fd.valid()) {
    outcome.message = errorMessage(kCannotOpenResultsMessage);
    return outcome;
  }
  auto fail = [&](std::string_view text) {
    outcome.message = errorMessage(text);
    return outcome;
  };
  FileReader in(std::move(fd));
  const uint64_t fileSize = in.left();
  int32_t magic = 0;
  int64_t urlCount = 0;
  uint8_t version[2] = {};
  if (!in.readLittleEndian(magic) || !in.readLittleEndian(urlCount) || !in.read(version, 2)) {
    return fail("There was an error reading the results file.");
  }
  if (version[0] > kResultsFileMajor || (version[0] == kResultsFileMajor && version[1] > kResultsFileMinor)) {
    return fail("The results file uses a newer file format. Please, upgrade your Tallyvane to be able to open it.");
  }
  if (magic != kResultsFileMagic) {
    return fail("You are trying to open a file that's broken or not created with Tallyvane");
  }
  if (urlCount == 0 && in.atEnd()) return outcome;  // a saved empty result
  if (urlCount <= 0) return fail(kCorrupt);
  int32_t tag = 0;
  if (!in.readLittleEndian(tag)) return fail(kUnexpectedEnd);
  if (tag != kRecordTag) return fail(kCorrupt);

  std::array<HopRecord, kHopsPerChain> hops;
  RecordReader reader{in, hops, outcome.testMode, outcome.responses};
  const int64_t step = urlCount / 100 + 1;
  uint64_t recordStart = fileSize - in.left() - sizeof(int32_t);
  for (int64_t loaded = 0;; ++loaded) {
    if (quitting && quitting->load()) return outcome;
    if (loaded >= urlCount) return fail(kCorrupt);  // the file goes on after its records
    if (progress && loaded % step == 0) progress(loaded, urlCount, progressText("Loading", loaded + 1, urlCount));
    size_t hopCount = 0;
    bool nextRecord = false;
    if (const auto failure = reader.read(hopCount, nextRecord)) return fail(*failure);
    // The next record's tag, when there is one, is read already.
    const uint64_t recordEnd = fileSize - in.left() - (nextRecord ? sizeof(int32_t) : 0);
    if (auto failure = visit({std::span<const HopRecord>(hops.data(), hopCount), outcome.testMode,
                              RecordBytes{recordStart, recordEnd}})) {
      return fail(*failure);
    }
    recordStart = recordEnd;
    if (!nextRecord) {
      if (loaded + 1 != urlCount) return fail(kCorrupt);
      if (progress) progress(urlCount, urlCount, progressText("Loading", urlCount, urlCount));
      return outcome;
    }
  }
}

LoadOutcome loadResults(ResultStore& store, const fs::path& path, const TaskProgress& progress,
                        const std::atomic<bool>* quitting) {
  FatalErrorSlot memory;
  return readResults(
      path,
      [&](const FileRecord& record) -> std::optional<std::string_view> {
        if (store.add(record.hops, record.testMode, memory)) return std::nullopt;
        store.clear();
        return "Not Enough Memory To Load Complete Results File";
      },
      progress, quitting);
}

}  // namespace tallyvane
