#include "input/Sitemap.h"

#include <expat.h>

#include <cstring>
#include <memory>
#include <utility>

#include "input/GzipInflater.h"

namespace tallyvane {
namespace {

constexpr std::string_view kNotASitemap = "Not an XML sitemap. No <urlset> tag.";
constexpr std::string_view kDamagedGzip = "Cannot unpack the gzip data: it is damaged or cut short";
// Sitemaps need no entities; refusing their declarations refuses every entity expansion attack.
constexpr std::string_view kEntityRefused = "entity declarations are refused in a sitemap";
constexpr size_t kChunkBytes = 1 << 16;

std::string_view trimmedLocText(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

}  // namespace

uint32_t Sitemap::addText(std::string_view text) {
  offsets_.push_back(buffer_.size());
  buffer_.append(text);
  buffer_.push_back('\0');
  return static_cast<uint32_t>(offsets_.size() - 1);
}

std::string_view Sitemap::text(uint32_t index) const {
  const uint64_t start = offsets_[index];
  const uint64_t end = index + 1 < offsets_.size() ? offsets_[index + 1] : buffer_.size();
  return std::string_view(buffer_).substr(start, end - start - 1);
}

void Sitemap::truncate(size_t entries, size_t texts) {
  entries_.resize(entries);
  if (texts < offsets_.size()) {
    buffer_.resize(offsets_[texts]);
    offsets_.resize(texts);
  }
}

void Sitemap::shrinkToFit() {
  buffer_.shrink_to_fit();
  offsets_.shrink_to_fit();
  entries_.shrink_to_fit();
}

// Turns expat's events into sitemap entries: urlset > url > loc | video:video | image:image; or,
// for a sitemap index, into the sitemaps it names: sitemapindex > sitemap > loc.
class SitemapBuilder {
 public:
  explicit SitemapBuilder(Sitemap& sitemap) : sitemap_(sitemap) {}

  static void onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    static_cast<SitemapBuilder*>(self)->start(name, attributes);
  }
  static void onEnd(void* self, const XML_Char*) { static_cast<SitemapBuilder*>(self)->end(); }
  static void onText(void* self, const XML_Char* text, int length) {
    static_cast<SitemapBuilder*>(self)->characters(std::string_view(text, static_cast<size_t>(length)));
  }
  static void onCdataStart(void* self) { static_cast<SitemapBuilder*>(self)->cdataStart(); }
  static void onCdataEnd(void* self) { static_cast<SitemapBuilder*>(self)->cdataEnd(); }

  bool rootIsUrlset() const { return rootIsUrlset_; }
  bool rootIsIndex() const { return rootIsIndex_; }
  bool rootHasChildren() const { return rootHasChildren_; }
  std::vector<std::string>& indexedSitemaps() { return indexedSitemaps_; }

 private:
  enum class Collect { Nothing, Loc, MediaText };

  void start(std::string_view name, const XML_Char** attributes) {
    ++depth_;
    if (depth_ == 1) {
      rootIsUrlset_ = name == "urlset";
      rootIsIndex_ = name == "sitemapindex";
    } else if (depth_ == 2) {
      rootHasChildren_ = true;
      inUrl_ = rootIsUrlset_ && name == "url";
      inIndexEntry_ = rootIsIndex_ && name == "sitemap";
      if (inUrl_) {
        entry_ = Sitemap::Entry{};
        media_.clear();
        media_.reserve(4);
      }
      locText_.reset();
    } else if (inIndexEntry_ && depth_ == 3) {
      if (name == "loc") beginText(Collect::Loc);
    } else if (inUrl_ && depth_ == 3) {
      section_ = name == "video:video" ? Section::Video : name == "image:image" ? Section::Image : Section::None;
      firstImageChild_ = true;
      if (name == "loc") beginText(Collect::Loc);
    } else if (inUrl_ && depth_ == 4) {
      if (section_ == Section::Video) {
        if (name == "video:thumbnail_loc" || name == "video:content_loc" || name == "video:player_loc" ||
            name == "video:gallery_loc") {
          beginText(Collect::MediaText);
        } else if (name == "video:uploader") {
          for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
            if (std::string_view(a[0]) == "info") media_.emplace_back(a[1]);
          }
        }
      } else if (section_ == Section::Image && firstImageChild_) {
        firstImageChild_ = false;  // only the first child of image:image counts
        if (name == "image:loc") beginText(Collect::MediaText);
      }
    } else if (collect_ == Collect::Loc && depth_ > collectDepth_ && !firstChildSeen_) {
      firstChildSeen_ = true;  // an element child: the CDATA fallback does not apply
    }
  }

  void end() {
    if (collect_ != Collect::Nothing && depth_ == collectDepth_) finishText();
    if (inUrl_ && depth_ == 3) section_ = Section::None;
    if (inUrl_ && depth_ == 2) finishEntry();
    if (inIndexEntry_ && depth_ == 2) {
      if (locText_ && !locText_->empty()) indexedSitemaps_.push_back(std::move(*locText_));
      inIndexEntry_ = false;
    }
    --depth_;
  }

  void characters(std::string_view text) {
    if (collect_ == Collect::Nothing) return;
    if (collect_ == Collect::Loc && !firstChildSeen_) {
      firstChildSeen_ = true;
      firstChildIsCdata_ = inCdata_;
    }
    if (inCdata_ && firstChildIsCdata_ && !firstCdataClosed_) firstCdata_.append(text);
    text_.append(text);
  }

  void cdataStart() {
    inCdata_ = true;
    if (collect_ == Collect::Loc && !firstChildSeen_) {
      firstChildSeen_ = true;
      firstChildIsCdata_ = true;
    }
  }

  void cdataEnd() {
    inCdata_ = false;
    if (firstChildIsCdata_) firstCdataClosed_ = true;
  }

  void beginText(Collect what) {
    collect_ = what;
    collectDepth_ = depth_;
    text_.clear();
    firstCdata_.clear();
    firstChildSeen_ = firstChildIsCdata_ = firstCdataClosed_ = false;
  }

  void finishText() {
    const std::string_view trimmed = trimmedLocText(text_);
    if (collect_ == Collect::Loc) {
      // A later loc replaces an earlier one; an all-blank loc falls back to its CDATA child.
      if (!trimmed.empty()) {
        locText_ = std::string(trimmed);
      } else if (firstChildIsCdata_) {
        locText_ = firstCdata_;
      } else {
        locText_ = std::string();
      }
    } else {
      media_.emplace_back(trimmed);
    }
    collect_ = Collect::Nothing;
  }

  void finishEntry() {
    entry_.firstMedia = static_cast<uint32_t>(sitemap_.offsets_.size());
    for (const std::string& url : media_) sitemap_.addText(url);
    entry_.mediaCount = static_cast<uint32_t>(media_.size());
    if (locText_ && !locText_->empty()) entry_.loc = sitemap_.addText(*locText_);
    sitemap_.entries_.push_back(entry_);
    inUrl_ = false;
  }

  enum class Section { None, Video, Image };

  Sitemap& sitemap_;
  int depth_ = 0;
  bool rootIsUrlset_ = false;
  bool rootIsIndex_ = false;
  bool rootHasChildren_ = false;
  bool inUrl_ = false;
  bool inIndexEntry_ = false;
  std::vector<std::string> indexedSitemaps_;
  Section section_ = Section::None;
  bool firstImageChild_ = false;
  Collect collect_ = Collect::Nothing;
  int collectDepth_ = 0;
  std::string text_;
  bool inCdata_ = false;
  bool firstChildSeen_ = false;
  bool firstChildIsCdata_ = false;
  bool firstCdataClosed_ = false;
  std::string firstCdata_;
  Sitemap::Entry entry_;
  std::vector<std::string> media_;
  std::optional<std::string> locText_;
};

// One document's bytes, plain or gzip, fed piece by piece to expat.
class SitemapParser {
 public:
  explicit SitemapParser(Sitemap& sitemap)
      : sitemap_(sitemap),
        builder_(sitemap),
        parser_(XML_ParserCreate(nullptr)),
        entriesBefore_(sitemap.entries_.size()),
        textsBefore_(sitemap.offsets_.size()) {
    XML_SetUserData(parser_.get(), this);
    XML_SetElementHandler(parser_.get(), &onStart, &onEnd);
    XML_SetCharacterDataHandler(parser_.get(), &onText);
    XML_SetCdataSectionHandler(parser_.get(), &onCdataStart, &onCdataEnd);
    XML_SetEntityDeclHandler(parser_.get(), &onEntityDeclaration);
  }

  // False once the document has failed: the rest need not be read.
  bool feed(std::string_view bytes) {
    if (failure_ != Failure::None) return false;
    if (!gzip_ && !plain_) {
      start_.append(bytes);
      if (start_.size() < 2) return true;  // too little to tell gzip from XML yet
      decide();
      return unpackOrParse(std::exchange(start_, {}));
    }
    return unpackOrParse(bytes);
  }

  void failToLoad() { failure_ = Failure::CannotLoad; }

  Sitemap::Document finish() {
    if (failure_ == Failure::None && !gzip_ && !plain_) {
      decide();
      unpackOrParse(std::exchange(start_, {}));
    }
    if (failure_ == Failure::None && gzip_ && gzip_->finish() != GzipInflater::Status::Ok) refuse(kDamagedGzip);
    if (failure_ == Failure::None) parseXml({}, true);
    Sitemap::Document document;
    if (failure_ == Failure::None) {
      if (!builder_.rootIsUrlset() && !builder_.rootIsIndex()) {
        refuse(kNotASitemap);
      } else if (!builder_.rootHasChildren()) {
        failure_ = Failure::Silent;
      }
    }
    document.failure = failure_;
    document.message = std::move(message_);
    if (failure_ != Failure::None) {
      sitemap_.truncate(entriesBefore_, textsBefore_);
      return document;
    }
    document.isIndex = builder_.rootIsIndex();
    document.sitemaps = std::move(builder_.indexedSitemaps());
    return document;
  }

 private:
  using Failure = Sitemap::Document::Failure;

  static void onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    SitemapBuilder::onStart(&static_cast<SitemapParser*>(self)->builder_, name, attributes);
  }
  static void onEnd(void* self, const XML_Char* name) {
    SitemapBuilder::onEnd(&static_cast<SitemapParser*>(self)->builder_, name);
  }
  static void onText(void* self, const XML_Char* text, int length) {
    SitemapBuilder::onText(&static_cast<SitemapParser*>(self)->builder_, text, length);
  }
  static void onCdataStart(void* self) { SitemapBuilder::onCdataStart(&static_cast<SitemapParser*>(self)->builder_); }
  static void onCdataEnd(void* self) { SitemapBuilder::onCdataEnd(&static_cast<SitemapParser*>(self)->builder_); }
  static void onEntityDeclaration(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                  const XML_Char*, const XML_Char*, const XML_Char*) {
    auto& parser = *static_cast<SitemapParser*>(self);
    parser.entityDeclared_ = true;
    XML_StopParser(parser.parser_.get(), XML_FALSE);
  }

  void decide() {
    if (looksGzipped(start_)) {
      gzip_.emplace(kMaxSitemapBytes);
    } else {
      plain_ = true;
    }
  }

  bool unpackOrParse(std::string_view bytes) {
    if (!gzip_) return parseXml(bytes, false);
    switch (gzip_->inflate(bytes, [this](std::string_view xml) { return parseXml(xml, false); })) {
      case GzipInflater::Status::Ok:
      case GzipInflater::Status::Stopped: break;
      case GzipInflater::Status::Corrupt: refuse(kDamagedGzip); break;
      case GzipInflater::Status::TooLarge: failure_ = Failure::TooLarge; break;
    }
    return failure_ == Failure::None;
  }

  bool parseXml(std::string_view xml, bool last) {
    if (XML_Parse(parser_.get(), xml.data(), static_cast<int>(xml.size()), last) == XML_STATUS_OK) return true;
    const std::string_view reason = entityDeclared_ ? kEntityRefused : XML_ErrorString(XML_GetErrorCode(parser_.get()));
    refuse(std::string("Error in the XML file:\rMessage: ") + std::string(reason) +
           "\rLine: " + std::to_string(XML_GetCurrentLineNumber(parser_.get())) +
           "   Character: " + std::to_string(XML_GetCurrentColumnNumber(parser_.get())));
    return false;
  }

  void refuse(std::string_view message) {
    failure_ = Failure::Refused;
    message_ = std::string(message);
  }

  Sitemap& sitemap_;
  SitemapBuilder builder_;
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
  const size_t entriesBefore_;
  const size_t textsBefore_;
  std::string start_;  // the first bytes, until gzip can be told from XML
  std::optional<GzipInflater> gzip_;
  bool plain_ = false;
  bool entityDeclared_ = false;
  Failure failure_ = Failure::None;
  std::string message_;
};

Sitemap::Document Sitemap::add(FileDescriptor fd) {
  SitemapParser parser(*this);
  // Streamed in chunks: the file itself is never held whole.
  char chunk[kChunkBytes];
  for (;;) {
    const ssize_t got = readSome(fd.get(), chunk, sizeof chunk);
    if (got < 0) parser.failToLoad();
    if (got <= 0 || !parser.feed(std::string_view(chunk, static_cast<size_t>(got)))) break;
  }
  return parser.finish();
}

Sitemap::Document Sitemap::add(std::string_view bytes) {
  SitemapParser parser(*this);
  // In pieces, as a file is read: expat takes an int length.
  for (size_t at = 0; at < bytes.size() && parser.feed(bytes.substr(at, kChunkBytes)); at += kChunkBytes) {
  }
  return parser.finish();
}

}  // namespace tallyvane
