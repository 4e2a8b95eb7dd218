// What the sample character says: the companion message file, the sequence
// file and a small feed for local tests. All returned as UTF-8.
#pragma once

#include <string>

namespace vashel::sample {

// One message a line: action slot (or "-" for the default message), seconds
// shown, hour ("*" for any), text. Converted to code page 932 when written.
std::string companionMessages();

// Sequences: the random motions, a chat, the head-pat conversation, and the
// list the idle behaviour picks from, which mostly hands back to the actions.
std::string messageXml();

// An RSS 2.0 document with a few items, for fetching from a local server.
std::string feedXml();

}  // namespace vashel::sample
