#include "input/Sitemap.h"

#include <expat.h>

#include <cstring>
#include <memory>

namespace tallyvane {
namespace {

constexpr std::string_view kNotASitemap = "Not an XML sitemap. No <urlset> tag.";

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

// Turns expat's events into sitemap entries: urlset > url > loc | video:video | image:image.
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
  bool rootHasChildren() const { return rootHasChildren_; }

 private:
  enum class Collect { Nothing, Loc, MediaText };

  void start(std::string_view name, const XML_Char** attributes) {
    ++depth_;
    if (depth_ == 1) {
      rootIsUrlset_ = name == "urlset";
    } else if (depth_ == 2) {
      rootHasChildren_ = true;
      inUrl_ = rootIsUrlset_ && name == "url";
      if (inUrl_) {
        entry_ = Sitemap::Entry{};
        media_.clear();
        media_.reserve(4);
        locText_.reset();
      }
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
  bool rootHasChildren_ = false;
  bool inUrl_ = false;
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

Sitemap::Parsed Sitemap::parse(FileDescriptor fd) {
  Parsed result;
  Sitemap sitemap;
  SitemapBuilder builder(sitemap);
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
  XML_SetUserData(parser.get(), &builder);
  XML_SetElementHandler(parser.get(), &SitemapBuilder::onStart, &SitemapBuilder::onEnd);
  XML_SetCharacterDataHandler(parser.get(), &SitemapBuilder::onText);
  XML_SetCdataSectionHandler(parser.get(), &SitemapBuilder::onCdataStart, &SitemapBuilder::onCdataEnd);

  // Streamed in chunks: the file itself is never held whole.
  bool ok = true;
  bool readFailed = false;
  for (;;) {
    void* buffer = XML_GetBuffer(parser.get(), 1 << 16);
    if (buffer == nullptr) {
      ok = false;
      break;
    }
    const ssize_t got = readSome(fd.get(), buffer, 1 << 16);
    if (got < 0) {
      readFailed = true;
      break;
    }
    if (XML_ParseBuffer(parser.get(), static_cast<int>(got), got == 0) != XML_STATUS_OK) {
      ok = false;
      break;
    }
    if (got == 0) break;
  }
  fd.reset();
  if (readFailed) {
    result.failure = Parsed::Failure::CannotLoad;
    return result;
  }
  if (!ok) {
    result.failure = Parsed::Failure::Refused;
    result.message = std::string("Error in the XML file:\rMessage: ") + XML_ErrorString(XML_GetErrorCode(parser.get())) +
                   "\rLine: " + std::to_string(XML_GetCurrentLineNumber(parser.get())) +
                   "   Character: " + std::to_string(XML_GetCurrentColumnNumber(parser.get()));
    return result;
  }
  if (!builder.rootIsUrlset()) {
    result.failure = Parsed::Failure::Refused;
    result.message = std::string(kNotASitemap);
    return result;
  }
  if (!builder.rootHasChildren()) {
    result.failure = Parsed::Failure::Silent;
    return result;
  }
  sitemap.buffer_.shrink_to_fit();
  result.sitemap = std::move(sitemap);
  return result;
}

}  // namespace tallyvane
