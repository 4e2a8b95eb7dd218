// The sample character's words. A literal backslash-n breaks a line, a
// literal backslash-0 starts a new balloon page; HH and MM in companion
// messages become the current hour and minute.
#include "tools/make_sample/texts.h"

#include <string_view>

namespace vashel::sample {

namespace {

// The idle action's word for each local hour, 0 to 23: whatever the hour,
// one of them is due. A literal backslash-n breaks the line, as in the file.
constexpr std::string_view kHourly[24] = {
    "もう夜中だよ。そろそろ寝よう？\\nIt's past midnight.",
    "まだ起きてるの？夜ふかしさんだね。",
    "夜おそくまでおつかれさま。\\nIt's late. Get some sleep!",
    "こんな時間まで起きてるの？もう休もう？",
    "もうすぐ夜明けだね。",
    "早起きだね！\\nYou're up early!",
    "おはよう！きょうもいい一日になりますように。",
    "Good morning! Did you have breakfast?",
    "おはよう。きょうはなにをするの？",
    "朝のお仕事、がんばってね。",
    "お茶でもいれて、ひと休みしない？",
    "もうすぐお昼だよ。",
    "そろそろお昼ごはんの時間だね。\\nLunch time!",
    "お昼ごはん、おいしかった？",
    "午後もがんばろう！\\nKeep it up this afternoon!",
    "おやつにしない？\\nHow about a snack?",
    "夕方までもうひとがんばり！",
    "夕焼けがきれいな時間だね。",
    "夕方だね。きょうもおつかれさま。",
    "晩ごはんはなにかな？\\nWhat's for dinner?",
    "夜はゆっくり休んでね。",
    "お風呂に入って、あったまってね。",
    "そろそろ寝る準備をしようか。",
    "もう夜おそいよ。むりしないでね。\\nIt's late. Get some sleep!",
};

}  // namespace

std::string companionMessages() {
  // The player speaks only the idle action's (slot 0) messages, one now and
  // then at the end of an idle loop; the other actions' lines are for the
  // debug key that shows a message by number. Slot 0 holds nothing but the
  // clock and the hour's word, so that each is the one said half the time.
  std::string text = R"(# Messages of the sample character: action slot (- for the default message), seconds, hour (* any), text.
# Only the idle action's messages (slot 0) are said while she plays; the others show with the M key.
- 10 * はじめまして！わたしはヴァシェル。\nきょうから、あなたのデスクトップに住むね。\nNice to meet you!
0 8 * いまはHH時MM分だよ。\nIt's HH:MM now.
)";
  for (int hour = 0; hour < 24; ++hour) {
    text.append("0 8 ").append(std::to_string(hour)).append(" ").append(kHourly[hour]).append("\n");
  }
  text += R"(1 5 * なにかおもしろいもの、ないかな？
2 5 * んーっ、のびのび！
3 5 * ぴょんっ！
4 5 * うんうん、わかるよ。
5 6 * Let's dance!
10 5 * くすぐったいよー！
11 5 * えへへ、なでなで。
99 6 * こんにちは！ Hello!
)";
  return text;
}

std::string messageXml() {
  // Most entries of the idle list name no sequence: such a loop end goes to
  // the scene's action table, which plays the idle action with its hourly
  // words and, after a few loops, a random action with its sound.
  std::string idle;
  for (int i = 0; i < 20; ++i) idle += "    <scene/>\n";
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- Sequences of the sample character. Written by tools/make_sample: change the generator, not this file. -->
<vashel>
  <sequence name="chat" start="1" end="90">
    <random>
      <msg frame="50">いい天気だね。\nNice weather today.</msg>
      <msg frame="50">ふんふふーん♪</msg>
      <msg frame="50">なにしてるの？\nWhat are you up to?</msg>
      <msg frame="60">つかれたら、ひと休みしてね。\nDon't forget to take a break.</msg>
      <msg frame="50">Need a break? Stretch with me!</msg>
    </random>
  </sequence>
  <sequence name="look" start="100" end="190"/>
  <sequence name="stretch" start="200" end="290"/>
  <sequence name="jump" start="300" end="345"/>
  <sequence name="nod" start="355" end="400"/>
  <sequence name="dance" start="410" end="530">
    <msg frame="40">Let's dance!</msg>
  </sequence>
  <sequence name="pat" pick="pick_head" start="630" end="710">
    <msg frame="40">わっ、なでてくれるの？</msg>
    <msg frame="50">えへへ……うれしいな。\nThank you!</msg>
    <random>
      <msg frame="50">もっとなでてもいいよ？</msg>
      <msg frame="50">髪がくしゃくしゃになっちゃう！</msg>
      <msg frame="50">You're so kind!</msg>
    </random>
    <msg frame="90">ねえ、知ってる？\0わたし、いつもここで\nあなたを見てるんだよ。\0……なーんてね！\nI'm always here with you.</msg>
  </sequence>
  <randomaction>
    <!-- An entry without a name plays no sequence: that loop end goes to the
         scene's actions, where she idles, says the time or the hour's word,
         and now and then plays a random action with its sound. -->
)" + idle + R"(    <item name="chat"/>
    <item name="look"/>
    <item name="stretch"/>
    <item name="jump"/>
    <item name="nod"/>
    <item name="dance"/>
  </randomaction>
</vashel>
)";
}

std::string feedXml() {
  // No indentation: white space between elements would end up in the fields.
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0">
<channel>
<title>Vashel sample feed</title>
<link>http://localhost:8000/</link>
<description>A small feed for trying the balloon with a local server.</description>
<item>
<title>ようこそ</title>
<description>このフィードはローカルでのテスト用です。\nThis feed is for local tests.</description>
<link>http://localhost:8000/welcome.html</link>
<pubDate>Mon, 01 Jan 2024 09:00:00 +0000</pubDate>
</item>
<item>
<title>きょうの天気</title>
<description>晴れのち くもり。おでかけには かさを わすれずに。</description>
<link>http://localhost:8000/weather.html</link>
<pubDate>Mon, 01 Jan 2024 12:00:00 +0000</pubDate>
</item>
<item>
<title>News</title>
<description>Vashel now lives on Linux desktops, too.</description>
<link>http://localhost:8000/news.html</link>
<pubDate>Tue, 02 Jan 2024 08:30:00 +0000</pubDate>
</item>
</channel>
</rss>
)";
}

}  // namespace vashel::sample
