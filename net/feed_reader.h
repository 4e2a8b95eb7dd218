// The feed and animation-data reader: one flat vocabulary that yields RSS
// items for the balloon, joint key sets, action definitions and the random
// behaviour's values, fetched over HTTP. Also the two fetch procedures and
// the applying of what they bring to the scene and the player.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "anim/player.h"
#include "anim/pose.h"
#include "net/feed_items.h"
#include "net/http_source.h"

namespace vashel {

// Field numbers of a FeedItem.
enum FeedField : int {
  kFieldDiscarded = 0,
  kFieldTitle = 1,
  kFieldDescription = 2,
  kFieldLink = 3,
  kFieldDate = 4,
  kFieldAnimationSet = 5,
  kFieldJoint = 6,  // never filled
};

// One item; item 0 (the head) collects what comes before the first `item`
// element, for RSS the channel's own title, link and description. Code page 932.
struct FeedItem {
  std::array<std::string, 7> fields;
  int currentField = 0;  // the field that character data goes to; 0 drops it
};

// A complete `joint` element: its name and parent, the translation and joint
// orientation given as (x, y, z, 0), and its key lists.
struct JointNode {
  std::string name_ = "no-name";  // code page 932
  std::string parent = "no-parent";
  std::array<double, 4> trans_{0, 0, 0, 0};
  std::array<double, 4> jori_{0, 0, 0, 0};
  std::array<DownloadedKeys, 3> translate;  // x, y, z
  std::array<DownloadedKeys, 3> rotate;     // radians

  // The debug listing of the animation dump.
  void debugPrint(std::FILE* out) const;
};

struct JointAnimation {
  std::vector<JointNode> joints;
  int start = 0;  // kept until the next animation-data element
  int end = 0;
};

struct RandomValues {
  int randomMax = 0;
  int randomTime = 0;
  int randomJitter = 0;
};

// Bounds on what one document may create, so that memory follows the input
// and not a number written in it. Beyond them elements and keys are dropped
// with one line on standard error per parse.
inline constexpr std::size_t kMaxFeedItems = 4096;
inline constexpr std::size_t kMaxDownloadedJoints = 4096;
inline constexpr std::size_t kMaxActionDefinitions = 65536;
inline constexpr std::size_t kMaxDownloadedKeys = 1u << 20;  // all axes of all joints

class FeedReader : public HttpDocumentSource {
 public:
  explicit FeedReader(HttpTransport& transport) : HttpDocumentSource(transport) {}

  // Parses the buffer, with the encoding retry. 0 when the buffer is empty
  // or there is no item list yet (no openInternet so far); otherwise 1, also
  // when the document did not parse (see parseFailed).
  int parse();
  // The last parse ended without reading the whole document.
  bool parseFailed() const { return parseFailed_; }

  // The field of item `index` (0 is the head); null past the list's end or
  // for a field outside 0..6.
  const std::string* feedItemField(std::size_t index, int field) const;
  const std::vector<FeedItem>& items() const { return items_; }

  // "  TITLE: ...", one block per item, texts in UTF-8.
  void dumpItems(std::FILE* out) const;
  // " ---- DEBUG ---- ", the range, then every joint's debug listing.
  void dumpJointAnimation(std::FILE* out) const;

  const JointAnimation& jointAnimation() const { return animation_; }
  const std::vector<AnimDefinition>& definitions() const { return definitions_; }
  const RandomValues& randomValues() const { return random_; }

  // Empties the downloaded joints and action definitions (each fetch starts so).
  void clearDownloads();

 protected:
  void resetResults() override;

 private:
  friend class FeedHandlers;

  std::vector<FeedItem> items_;  // empty until the first openInternet
  JointAnimation animation_;
  std::vector<AnimDefinition> definitions_;
  RandomValues random_;
  // Parse state, carried from one document to the next.
  std::optional<JointNode> currentJoint_;
  int channel_ = 0;
  int num_ = 0;
  std::size_t keys_ = 0;  // keys read by the current parse
  bool overLimit_ = false;
  bool parseFailed_ = false;
};

// --- Fetching -----------------------------------------------------------------

enum class FetchKind { Feed, Dropped };

// What one fetch procedure brought, built aside so that another thread can
// apply it.
struct FetchResult {
  enum class Error { None, Code, Other };
  Error error = Error::None;
  std::uint32_t code = 0;  // Error::Code: the transport's error code
  std::string what;        // Error::Other: what failed
  std::vector<FeedItemText> items;  // the reader's items, the head first
  DownloadedAnimation animation;
  std::vector<AnimDefinition> definitions;
  RandomValues random;
};

// The steps of a fetch on the reader: open, request, read, parse (an HTTP
// error status or a document that does not parse counts as a failure other
// than an error code), for Dropped both dumps on `dumps`, then close. The
// downloaded joints and definitions are cleared first. Never throws.
FetchResult fetchDocument(FeedReader& reader, const std::string& url, FetchKind kind,
                          std::FILE* dumps = stdout);

// The message boxes of a failed feed fetch; texts in UTF-8.
class FetchErrorBoxes {
 public:
  virtual ~FetchErrorBoxes() = default;
  virtual void errorBox(std::string_view caption, std::string_view text) = 0;
};

inline constexpr char kFetchErrorCaption[] = "Vashel Error";
inline constexpr char kFetchUrlErrorText[] = "URLが間違っているようです";
inline constexpr char kFetchDocumentErrorText[] = "HTTP/XMLでエラー発生";

// Shows the box a failed fetchFeed shows; nothing when it did not fail.
void showFetchError(const FetchResult& result, FetchErrorBoxes& boxes);

// Where results go. Null members take nothing.
struct FetchTarget {
  Scene* scene = nullptr;
  Player* player = nullptr;  // with scene: the action table; alone: random values
  FeedItemList* items = nullptr;
  std::FILE* diagnostics = stderr;  // unknown joint names
};

// Applies a result: the items, the joints (when any; unknown names are
// reported), the action definitions (when any) and, with `withRandom`, the
// random values when randomMax is above 0.
void applyFetchResult(const FetchResult& result, FetchTarget& target, bool withRandom);

// The feed fetch: the document, its box on failure, then everything applied
// with the random values.
void fetchFeed(FeedReader& reader, const std::string& url, FetchTarget& target,
               FetchErrorBoxes& boxes);
// The drop fetch: the document with both dumps; failures are silent; joints,
// definitions and items are applied, never the random values.
void fetchDropped(FeedReader& reader, const std::string& url, FetchTarget& target,
                  std::FILE* dumps = stdout);

}  // namespace vashel
