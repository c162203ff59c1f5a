#pragma once
// gzip data unpacked as it streams in, with a cap on what it may unpack to: a few kilobytes of
// gzip can unpack to gigabytes (a gzip bomb), so the cap, not the input's size, bounds the work.

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace tallyvane {

// Whether bytes start as gzip data does (its two magic bytes).
bool looksGzipped(std::string_view bytes);

class GzipInflater {
 public:
  enum class Status {
    Ok,        // more input may follow
    Corrupt,   // not gzip, or damaged
    TooLarge,  // would unpack to more than the cap
    Stopped,   // the output function asked to stop
  };
  // Takes each unpacked piece; false stops the unpacking.
  using Output = std::function<bool(std::string_view)>;

  explicit GzipInflater(size_t outputCap);
  ~GzipInflater();
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;

  // Unpacks the next piece of input; several gzip members one after another are one stream, as
  // gunzip reads them.
  Status inflate(std::string_view input, const Output& output);
  // After the last piece: Corrupt when the data ended inside a member.
  Status finish() const;

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
  size_t outputCap_;
  size_t unpacked_ = 0;
  bool inMember_ = false;  // a member started and has not ended yet
  bool memberEnded_ = false;
  bool trailing_ = false;  // what follows the last member is ignored
};

}  // namespace tallyvane
