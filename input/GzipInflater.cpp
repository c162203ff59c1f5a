#include "input/GzipInflater.h"

#include <zlib.h>

#include <array>

namespace tallyvane {

bool looksGzipped(std::string_view bytes) { return bytes.size() >= 2 && bytes[0] == '\x1F' && bytes[1] == '\x8B'; }

struct GzipInflater::Stream {
  z_stream z{};
  bool ready = false;
  ~Stream() {
    if (ready) inflateEnd(&z);
  }
};

GzipInflater::GzipInflater(size_t outputCap) : stream_(std::make_unique<Stream>()), outputCap_(outputCap) {
  // 16 + MAX_WBITS: a gzip header and trailer, not a bare zlib stream.
  stream_->ready = inflateInit2(&stream_->z, 16 + MAX_WBITS) == Z_OK;
}

GzipInflater::~GzipInflater() = default;

GzipInflater::Status GzipInflater::inflate(std::string_view input, const Output& output) {
  if (!stream_->ready) return Status::Corrupt;
  z_stream& z = stream_->z;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  std::array<char, 1 << 16> out;
  while (z.avail_in > 0 && !trailing_) {
    if (!inMember_ && memberEnded_ && *z.next_in != 0x1F) {
      trailing_ = true;  // padding after the last member, which gunzip ignores too
      break;
    }
    inMember_ = true;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = ::inflate(&z, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return Status::Corrupt;
    const size_t produced = out.size() - z.avail_out;
    if (produced > outputCap_ - unpacked_) return Status::TooLarge;
    unpacked_ += produced;
    if (produced > 0 && !output(std::string_view(out.data(), produced))) return Status::Stopped;
    if (result == Z_STREAM_END) {
      inMember_ = false;
      memberEnded_ = true;
      if (inflateReset(&z) != Z_OK) return Status::Corrupt;
    } else if (result == Z_BUF_ERROR && produced == 0) {
      break;  // needs more input than this piece holds
    }
  }
  return Status::Ok;
}

GzipInflater::Status GzipInflater::finish() const { return inMember_ || !stream_->ready ? Status::Corrupt : Status::Ok; }

}  // namespace tallyvane
