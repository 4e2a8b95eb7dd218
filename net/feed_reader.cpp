// The feed reader's handlers, its dumps, and the fetch procedures.
#include "net/feed_reader.h"

#include <cfloat>
#include <cstring>
#include <exception>

#include "platform/codepage.h"
#include "scene/scene_text.h"
#include "xml/reader.h"

namespace vashel {

// The parser's events for one document, written into the reader.
class FeedHandlers final : public XmlHandlers {
 public:
  explicit FeedHandlers(FeedReader& reader) : reader_(reader), before_(snapshot(reader)) {}

  void startElement(const char* name, const char* const* attributes) override;
  void endElement(const char* name) override;
  void characterData(std::string_view chunk) override;
  // The encoding retry reads the document again from its start: what the
  // first pass added is dropped, so that nothing arrives twice.
  void restart() override { restore(reader_, before_); }

 private:
  struct Snapshot {
    std::vector<FeedItem> items;
    JointAnimation animation;
    std::vector<AnimDefinition> definitions;
    RandomValues random;
    std::optional<JointNode> currentJoint;
    int channel = 0;
    int num = 0;
  };
  static Snapshot snapshot(const FeedReader& r) {
    return {r.items_, r.animation_, r.definitions_, r.random_, r.currentJoint_, r.channel_, r.num_};
  }
  static void restore(FeedReader& r, const Snapshot& s) {
    r.items_ = s.items;
    r.animation_ = s.animation;
    r.definitions_ = s.definitions;
    r.random_ = s.random;
    r.currentJoint_ = s.currentJoint;
    r.channel_ = s.channel;
    r.num_ = s.num;
    r.keys_ = 0;
  }

  void overLimit(const char* what);
  void readKeys(DownloadedKeys& keys, std::string_view text);
  static void readVector(std::array<double, 4>& out, std::string_view text);

  FeedReader& reader_;
  Snapshot before_;
};

namespace {

const char* findAttribute(const char* const* attributes, const char* name) {
  for (const char* const* a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    if (std::strcmp(a[0], name) == 0) return a[1];
  }
  return nullptr;
}

// A numeric attribute as atof reads it, truncated toward zero; missing: 0.
int numberAttribute(const char* const* attributes, const char* name) {
  const char* value = findAttribute(attributes, name);
  return value == nullptr ? 0 : toInt32(parseNumber(value));
}

// Names are compared with the scene's, whose texts are code page 932.
std::string textAttribute(const char* const* attributes, const char* name,
                          const char* fallback) {
  const char* value = findAttribute(attributes, name);
  if (value == nullptr) return fallback;
  return convertUtf8ToShiftJis(value);
}

// Keys are stored in single precision; larger magnitudes become the largest.
float toFloat(double value) {
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

std::string utf8(const std::string& text) { return convertToUtf8(kDataCodePage, text); }

}  // namespace

void FeedHandlers::overLimit(const char* what) {
  if (!reader_.overLimit_) {
    std::fprintf(stderr, "feed: too many %s in one document; the rest are ignored\n", what);
  }
  reader_.overLimit_ = true;
}

void FeedHandlers::startElement(const char* name, const char* const* attributes) {
  FeedReader& r = reader_;
  const std::string folded = foldElementName(name);
  // parse() only runs with a head item, so the list is never empty here.
  FeedItem& last = r.items_.back();
  last.currentField = 0;

  if (folded == "title") {
    last.currentField = kFieldTitle;
  } else if (folded == "description") {
    last.currentField = kFieldDescription;
  } else if (folded == "link") {
    last.currentField = kFieldLink;
  } else if (folded == "pubdate") {
    last.currentField = kFieldDate;
  } else if (folded == "animationset") {
    last.currentField = kFieldAnimationSet;
  } else if (folded == "animation-data") {
    r.animation_.start = numberAttribute(attributes, "start");
    r.animation_.end = numberAttribute(attributes, "end");
  } else if (folded == "joint") {
    // An open joint that never got its end tag is replaced, not kept.
    JointNode joint;
    joint.name_ = textAttribute(attributes, "name", "no-name");
    joint.parent = textAttribute(attributes, "parent", "no-parent");
    r.currentJoint_ = std::move(joint);
  } else if (folded == "item") {
    if (r.items_.size() < kMaxFeedItems) {
      r.items_.emplace_back();
    } else {
      overLimit("items");
    }
  } else if (folded == "translatex" || folded == "translatey" || folded == "translatez") {
    r.channel_ = 1 + (folded.back() - 'x');
  } else if (folded == "rotatex" || folded == "rotatey" || folded == "rotatez") {
    r.channel_ = 4 + (folded.back() - 'x');
  } else if (folded == "scalex" || folded == "scaley" || folded == "scalez") {
    r.channel_ = 7 + (folded.back() - 'x');  // read, but its data is not used
  } else if (folded == "translation") {
    r.channel_ = 10;
  } else if (folded == "jointorientation") {
    r.channel_ = 11;
  } else if (folded == "animation-set") {
    r.random_.randomMax = numberAttribute(attributes, "randomMax");
    r.random_.randomTime = numberAttribute(attributes, "randomTime");
    r.random_.randomJitter = numberAttribute(attributes, "randomJitter");
  } else if (folded == "anim") {
    if (r.definitions_.size() < kMaxActionDefinitions) {
      r.definitions_.push_back({numberAttribute(attributes, "key"),
                                textAttribute(attributes, "name", ""),
                                numberAttribute(attributes, "start"),
                                numberAttribute(attributes, "end")});
    } else {
      overLimit("anim elements");
    }
  }
  r.num_ = numberAttribute(attributes, "num");
}

void FeedHandlers::endElement(const char* name) {
  FeedReader& r = reader_;
  // The name as written: a joint closed by </Joint> stays open.
  if (!r.currentJoint_ || std::strcmp(name, "joint") != 0) return;
  if (r.animation_.joints.size() < kMaxDownloadedJoints) {
    r.animation_.joints.push_back(std::move(*r.currentJoint_));
  } else {
    overLimit("joints");
  }
  r.currentJoint_.reset();
}

void FeedHandlers::readKeys(DownloadedKeys& keys, std::string_view text) {
  LineTokenizer tokens(text);
  for (int i = 0; i < reader_.num_; ++i) {
    if (reader_.keys_ >= kMaxDownloadedKeys) {
      overLimit("keys");
      return;
    }
    const double time = tokens.nextNumber();
    const double value = tokens.nextNumber();
    keys.times.push_back(toFloat(time));
    keys.values.push_back(toFloat(value));
    ++reader_.keys_;
  }
}

void FeedHandlers::readVector(std::array<double, 4>& out, std::string_view text) {
  LineTokenizer tokens(text);
  std::array<std::string_view, 3> parts;
  for (std::string_view& part : parts) {
    if (!tokens.hasToken()) return;  // fewer than three numbers: unchanged
    part = tokens.next();
  }
  out = {parseNumber(parts[0]), parseNumber(parts[1]), parseNumber(parts[2]), 0.0};
}

void FeedHandlers::characterData(std::string_view chunk) {
  FeedReader& r = reader_;
  const std::optional<std::string> text = characterDataText(chunk);
  if (!text) return;
  if (r.currentJoint_) {
    JointNode& joint = *r.currentJoint_;
    const int channel = r.channel_;
    if (channel >= 1 && channel <= 3) {
      readKeys(joint.translate[channel - 1], *text);
    } else if (channel >= 4 && channel <= 6) {
      readKeys(joint.rotate[channel - 4], *text);
    } else if (channel == 10) {
      readVector(joint.trans_, *text);
    } else if (channel == 11) {
      readVector(joint.jori_, *text);
    }
    return;
  }
  FeedItem& last = r.items_.back();
  if (last.currentField != 0) last.fields[last.currentField] += *text;
}

// --- FeedReader ---------------------------------------------------------------

void FeedReader::resetResults() {
  items_.clear();
  items_.emplace_back();
}

void FeedReader::clearDownloads() {
  animation_.joints.clear();
  definitions_.clear();
}

int FeedReader::parse() {
  parseFailed_ = false;
  if (buffer_.empty() || items_.empty()) return 0;
  keys_ = 0;
  overLimit_ = false;
  FeedHandlers handlers(*this);
  const XmlParseOutcome outcome =
      parseXmlWithEncodingRetry(buffer_, handlers, XmlFirstFailure::Plain);
  parseFailed_ = outcome.secondPass.has_value() ||
                 (outcome.firstPass.has_value() && !outcome.retryCodePage.has_value());
  return 1;
}

const std::string* FeedReader::feedItemField(std::size_t index, int field) const {
  if (index >= items_.size() || field < 0 || field > kFieldJoint) return nullptr;
  return &items_[index].fields[static_cast<std::size_t>(field)];
}

void FeedReader::dumpItems(std::FILE* out) const {
  for (const FeedItem& item : items_) {
    std::fprintf(out, "  TITLE: %s\n", utf8(item.fields[kFieldTitle]).c_str());
    std::fprintf(out, "  DESC:  %s\n", utf8(item.fields[kFieldDescription]).c_str());
    std::fprintf(out, "  LINK:  %s\n", utf8(item.fields[kFieldLink]).c_str());
    std::fprintf(out, "  DATE:  %s\n", utf8(item.fields[kFieldDate]).c_str());
    std::fprintf(out, "  JOINT: %s\n", utf8(item.fields[kFieldJoint]).c_str());
    std::fprintf(out, "  ANIM: %s\n", utf8(item.fields[kFieldAnimationSet]).c_str());
    std::fprintf(out, "---------------------------------------\n");
  }
}

void JointNode::debugPrint(std::FILE* out) const {
  std::fprintf(out, "SceneBase::name_ = %s\n", utf8(name_).c_str());
  std::fprintf(out, " parent: %s\n", utf8(parent).c_str());
  std::fprintf(out, " JointNode::trans_ = <<%g %g %g %g>>\n", trans_[0], trans_[1], trans_[2],
               trans_[3]);
  std::fprintf(out, " JointNode::jori_ = <<%g %g %g %g>>\n", jori_[0], jori_[1], jori_[2],
               jori_[3]);
  const auto printKeys = [out](const char* label, const std::array<DownloadedKeys, 3>& axes) {
    for (int i = 0; i < 3; ++i) {
      std::fprintf(out, " JointNode::%s%d = ", label, i);
      const DownloadedKeys& keys = axes[static_cast<std::size_t>(i)];
      const std::size_t n = std::min(keys.times.size(), keys.values.size());
      for (std::size_t k = 0; k < n; ++k) {
        std::fprintf(out, " %g,%g //", static_cast<double>(keys.times[k]),
                     static_cast<double>(keys.values[k]));
      }
      std::fprintf(out, "\n");
    }
  };
  printKeys("Translate", translate);
  printKeys("Rotate", rotate);
}

void FeedReader::dumpJointAnimation(std::FILE* out) const {
  std::fprintf(out, " ---- DEBUG ---- \n");
  std::fprintf(out, "start, end = %d, %d\n", animation_.start, animation_.end);
  for (const JointNode& joint : animation_.joints) joint.debugPrint(out);
}

// --- Fetching -------------------------------------------------------------------

namespace {

// A document that did not parse to its end.
class DocumentError : public std::runtime_error {
 public:
  DocumentError() : std::runtime_error("the document does not parse") {}
};

}  // namespace

FetchResult fetchDocument(FeedReader& reader, const std::string& url, FetchKind kind,
                          std::FILE* dumps) {
  FetchResult result;
  reader.clearDownloads();
  try {
    reader.openInternet(nullptr);
    reader.openUrl(url);
    reader.readAll();
    reader.parse();
    if (reader.parseFailed()) throw DocumentError();
    if (kind == FetchKind::Dropped && dumps != nullptr) {
      reader.dumpItems(dumps);
      reader.dumpJointAnimation(dumps);
    }
  } catch (std::uint32_t code) {
    result.error = FetchResult::Error::Code;
    result.code = code;
  } catch (const std::exception& e) {
    result.error = FetchResult::Error::Other;
    result.what = e.what();
  } catch (...) {
    result.error = FetchResult::Error::Other;
    result.what = "unknown failure";
  }
  // Releasing the request also after a failure: nothing is kept open.
  reader.close();

  for (const FeedItem& item : reader.items()) {
    result.items.push_back(
        {item.fields[kFieldTitle], item.fields[kFieldDescription], item.fields[kFieldLink]});
  }
  const JointAnimation& animation = reader.jointAnimation();
  result.animation.start = animation.start;
  result.animation.end = animation.end;
  for (const JointNode& joint : animation.joints) {
    result.animation.joints.push_back({joint.name_, joint.translate, joint.rotate});
  }
  result.definitions = reader.definitions();
  result.random = reader.randomValues();
  return result;
}

void showFetchError(const FetchResult& result, FetchErrorBoxes& boxes) {
  switch (result.error) {
    case FetchResult::Error::None: return;
    case FetchResult::Error::Code:
      boxes.errorBox(kFetchErrorCaption, kFetchUrlErrorText);
      return;
    case FetchResult::Error::Other:
      boxes.errorBox(kFetchErrorCaption, kFetchDocumentErrorText);
      return;
  }
}

void applyFetchResult(const FetchResult& result, FetchTarget& target, bool withRandom) {
  if (target.items != nullptr) target.items->replace(result.items);
  if (target.scene != nullptr && !result.animation.joints.empty()) {
    applyDownloadedAnimation(*target.scene, result.animation, target.diagnostics);
  }
  if (target.scene != nullptr && target.player != nullptr && !result.definitions.empty()) {
    rebuildActions(*target.player, *target.scene, result.definitions);
  }
  if (withRandom && target.player != nullptr && result.random.randomMax > 0) {
    target.player->randomMax = result.random.randomMax;
    target.player->randomTime = result.random.randomTime;
    target.player->randomJitter = result.random.randomJitter;
  }
}

void fetchFeed(FeedReader& reader, const std::string& url, FetchTarget& target,
               FetchErrorBoxes& boxes) {
  const FetchResult result = fetchDocument(reader, url, FetchKind::Feed);
  showFetchError(result, boxes);
  applyFetchResult(result, target, true);
}

void fetchDropped(FeedReader& reader, const std::string& url, FetchTarget& target,
                  std::FILE* dumps) {
  const FetchResult result = fetchDocument(reader, url, FetchKind::Dropped, dumps);
  applyFetchResult(result, target, false);
}

}  // namespace vashel
